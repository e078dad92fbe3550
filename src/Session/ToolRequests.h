// The requests the tool sends, each built in one place: the session's sequences build them from
// here, and so do the fuzzers, the corpus maker, the soak run and the benchmarks, so that all of
// them speak to the line exactly as the tool does.
#pragma once

#include "RDM_Lib.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

struct TToolRequest {
    const char* name; // also the stem of the corpus files made from its replies
    std::uint8_t cc;
    std::uint16_t pid;
    int paramBytes;      // 0, 1 (SetByteParam) or 2 (SetWordParam)
    std::uint16_t param; // a typical value, for callers that send the request without one of their own
};

// Positions in kToolRequests.
enum class TToolRequestKind : std::size_t {
    Poll,
    DeviceInfo,
    SupportedParameters,
    DeviceModelDescription,
    SoftwareVersionLabel,
    DMXPersonality,
    DMXPersonalityDescription,
    StatusLed,
    SetDMXStartAddress,
    SetDMXPersonality,
    SetStatusLed,
};

// The requests to a connected fixture; the poll to the broadcast UID is also the un-mute of all.
inline constexpr TToolRequest kToolRequests[] = {
    {"poll", CC_DISCOVERY_COMMAND, PID_DISC_UN_MUTE, 0, 0},
    {"device_info", CC_GET_COMMAND, PID_DEVICE_INFO, 0, 0},
    {"supported_parameters", CC_GET_COMMAND, PID_SUPPORTED_PARAMETERS, 0, 0},
    {"device_model_description", CC_GET_COMMAND, PID_DEVICE_MODEL_DESCRIPTION, 0, 0},
    {"software_version_label", CC_GET_COMMAND, PID_SOFTWARE_VERSION_LABEL, 0, 0},
    {"dmx_personality", CC_GET_COMMAND, PID_DMX_PERSONALITY, 0, 0},
    {"dmx_personality_description", CC_GET_COMMAND, PID_DMX_PERSONALITY_DESCRIPTION, 1, 1},
    {"status_led", CC_GET_COMMAND, PID_STATUS_LED, 0, 0},
    {"set_dmx_start_address", CC_SET_COMMAND, PID_DMX_START_ADDRESS, 2, 1},
    {"set_dmx_personality", CC_SET_COMMAND, PID_DMX_PERSONALITY, 1, 1},
    {"set_status_led", CC_SET_COMMAND, PID_STATUS_LED, 1, 0xFF},
};
inline constexpr std::size_t kToolRequestCount = std::size(kToolRequests);

inline constexpr const TToolRequest& ToolRequestOf(TToolRequestKind Kind) {
    return kToolRequests[static_cast<std::size_t>(Kind)];
}

// The request of `name` in the table; raises std::out_of_range for a name it does not hold.
const TToolRequest& ToolRequestNamed(const char* name);

// A sealed request to `UID`; `Param` is its parameter data where the request has some.
std::unique_ptr<TRDMCommand> BuildToolRequest(const TToolRequest& Request, const TUID& UID,
                                              std::uint16_t Param);
std::unique_ptr<TRDMCommand> BuildToolRequest(const TToolRequest& Request, const TUID& UID);
std::unique_ptr<TRDMCommand> BuildToolRequest(TToolRequestKind Kind, const TUID& UID, std::uint16_t Param);
std::unique_ptr<TRDMCommand> BuildToolRequest(TToolRequestKind Kind, const TUID& UID);

// The two requests of a discovery attempt: DISC_UN_MUTE to all, sent without a reply, and one
// sealed DISC_UNIQUE_BRANCH over the whole UID range.
std::unique_ptr<TRDMCommand> BuildUnMuteAll();
std::unique_ptr<TRDMDiscoveryUniqueBranch> BuildDiscoveryOfAll();
