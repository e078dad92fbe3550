// The requests the tool sends to a connected fixture, built the way the state machine builds them,
// so that fuzzers, the corpus maker and the soak run all speak to the line as the tool does.
#pragma once

#include "RDM_Lib.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

struct ToolRequest {
    const char* name; // also the stem of the corpus files made from its replies
    std::uint8_t cc;
    std::uint16_t pid;
    int paramBytes; // 0, 1 (SetByteParam) or 2 (SetWordParam)
    std::uint16_t param;
};

inline constexpr ToolRequest kToolRequests[] = {
    {"poll", 0x10, 0x0003, 0, 0},
    {"device_info", 0x20, 0x0060, 0, 0},
    {"supported_parameters", 0x20, 0x0050, 0, 0},
    {"device_model_description", 0x20, 0x0080, 0, 0},
    {"software_version_label", 0x20, 0x00C0, 0, 0},
    {"dmx_personality", 0x20, 0x00E0, 0, 0},
    {"dmx_personality_description", 0x20, 0x00E1, 1, 1},
    {"status_led", 0x20, 0x0501, 0, 0},
    {"set_dmx_start_address", 0x30, 0x00F0, 2, 1},
    {"set_dmx_personality", 0x30, 0x00E0, 1, 1},
    {"set_status_led", 0x30, 0x0501, 1, 0xFF},
};
inline constexpr std::size_t kToolRequestCount = std::size(kToolRequests);

// A sealed request to `fixture`; `param` overrides the table's parameter value.
inline std::unique_ptr<TRDMCommand> BuildToolRequest(const ToolRequest& request, const TUID& fixture,
                                                     std::uint16_t param) {
    auto command = std::make_unique<TRDMCommand>(fixture, request.cc, request.pid, request.paramBytes == 0);
    if (request.paramBytes == 1)
        command->SetByteParam(static_cast<std::uint8_t>(param), true);
    else if (request.paramBytes == 2)
        command->SetWordParam(param, true);
    return command;
}

inline std::unique_ptr<TRDMCommand> BuildToolRequest(const ToolRequest& request, const TUID& fixture) {
    return BuildToolRequest(request, fixture, request.param);
}
