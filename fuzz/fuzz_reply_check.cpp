// Arbitrary bytes as the reply to each request the tool sends (the first input byte picks the
// request, the second the reply time). The reply goes through CheckRDMResponse; a reply that passes
// is then read with the reading sequence's own decoding (ReplyDecoding.h) into the fixture record.
// The bytes that never arrived are poisoned, so AddressSanitizer stops any read of data the fixture
// did not send.
#include "FuzzCheck.h"
#include "RDMFixture.h"
#include "RDM_Lib.h"
#include "ReplyData.h"
#include "ReplyDecoding.h"
#include "SessionTimings.h"
#include "ToolRequests.h"

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace {

constexpr TUID kFixture{{0x5A, 0x59, 0x12, 0x34, 0x56, 0x78}};
constexpr std::size_t kMaxText = 255;

// Mostly quick replies; the top of the range lands on both sides of the time limit.
std::uint32_t ReplyTimeMs(std::uint8_t b) {
    return b < 0xF0 ? b : SessionTimings::ReplyTimeoutMs - 8 + (b - 0xF0);
}

std::uint8_t ExpectedReplyClass(std::uint8_t requestClass) {
    return static_cast<std::uint8_t>(requestClass + 1);
}

bool ChecksumMatches(const TRDMResponseData& r) {
    std::uint16_t sum = 0;
    for (int i = 0; i < r.ResponseLen - 2; ++i)
        sum = static_cast<std::uint16_t>(sum + r.Raw[i]);
    return r.Raw[r.ResponseLen - 2] == (sum >> 8) && r.Raw[r.ResponseLen - 1] == (sum & 0xFF);
}

void RequireGenuineAcceptance(const TRDMCommand& command, const TRDMResponseData& r) {
    FUZZ_REQUIRE(r.ResponseTimeMs <= SessionTimings::ReplyTimeoutMs, "a late reply was accepted");
    FUZZ_REQUIRE(r.ResponseLen >= RDM_HEADER_SIZE, "a reply shorter than its header was accepted");
    FUZZ_REQUIRE(ChecksumMatches(r), "a reply with a wrong checksum was accepted");
    FUZZ_REQUIRE(r.Data.CC == ExpectedReplyClass(command.CommandData().CC),
                 "a reply of another class was accepted");
    FUZZ_REQUIRE(std::memcmp(r.Data.PID, command.CommandData().PID, 2) == 0,
                 "a reply for another PID was accepted");
    FUZZ_REQUIRE(r.Data.PortID != 0x02, "a NACK was accepted as an answer");
}

// The tool shows texts; they must stay within 255 characters whatever the reply claims.
std::string ShownText(const std::optional<std::string>& text) {
    std::string shown = text.value_or(std::string());
    // Characters of the UTF-8 text: every byte that does not continue a character starts one.
    const auto characters = std::count_if(
        shown.begin(), shown.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    FUZZ_REQUIRE(static_cast<std::size_t>(characters) <= kMaxText, "a reply text grew beyond 255 characters");
    return shown;
}

void ReadSupportedParameters(TRDMFixture& fixture, const TRDMResponseData& r) {
    const auto pids = DecodeSupportedParameters(r);
    if (!pids)
        return;
    fixture.AddSupportedParameters(*pids);
    fixture.AddSupportedParameters(*pids); // a repeated reading adds nothing
    const auto& list = fixture.fSupportedParameterList;
    FUZZ_REQUIRE(std::set<std::uint16_t>(list.begin(), list.end()).size() == list.size(),
                 "the supported-parameter list holds a PID twice");
    FUZZ_REQUIRE(static_cast<int>(list.size()) * 2 <= ReplyPDL(r),
                 "more PIDs than the reply's parameter data holds");
}

// What the reading sequence takes from a reply that passed the check, through the same functions;
// a reply too short for what is read gives no values there and here.
void ReadAsTheReadingSequence(std::uint16_t pid, const TRDMResponseData& r) {
    TRDMFixture fixture;
    switch (pid) {
    case PID_DEVICE_INFO:
        (void)DecodeDeviceInfo(r);
        break;
    case PID_SUPPORTED_PARAMETERS:
        ReadSupportedParameters(fixture, r);
        break;
    case PID_DEVICE_MODEL_DESCRIPTION:
        fixture.DeviceModelDescription = ShownText(DecodeDeviceModelDescription(r));
        break;
    case PID_SOFTWARE_VERSION_LABEL:
        fixture.FirmwareLabel = ShownText(DecodeSoftwareVersionLabel(r));
        break;
    case PID_DMX_PERSONALITY:
        (void)DecodeDMXPersonality(r);
        break;
    case PID_DMX_PERSONALITY_DESCRIPTION:
        if (const auto description = DecodeDMXPersonalityDescription(r))
            fixture.AddPersonalityDescription(description->DMXFootprint, ShownText(description->Description));
        break;
    case PID_STATUS_LED:
        (void)DecodeStatusLed(r);
        break;
    default: // polls and SETs: only success counts
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    if (size < 2)
        return 0;
    const TToolRequest& request = kToolRequests[input[0] % kToolRequestCount];
    const auto command = BuildToolRequest(request, kFixture);

    // Filled the way the cable layer fills it: zeros, then the bytes that arrived.
    auto response = std::make_unique<TRDMResponseData>();
    std::memset(response.get(), 0, sizeof(TRDMResponseData));
    const std::size_t len = std::min(size - 2, sizeof(response->Raw));
    std::memcpy(response->Raw, input + 2, len);
    response->ResponseLen = static_cast<std::int32_t>(len);
    response->ResponseTimeMs = ReplyTimeMs(input[1]);
    ASAN_POISON_MEMORY_REGION(response->Raw + len, sizeof(response->Raw) - len);

    try {
        CheckRDMResponse(*command, *response, SessionTimings::ReplyTimeoutMs);
    } catch (const EAssertionFailed&) {
        const std::uint8_t type = response->Data.PortID;
        FUZZ_REQUIRE(type == 0x01 || type == 0x03,
                     "the check raised for a reply that is no ACK_TIMER or ACK_OVERFLOW");
        RequireGenuineAcceptance(*command, *response); // everything before the type must have passed
        ASAN_UNPOISON_MEMORY_REGION(response->Raw + len, sizeof(response->Raw) - len);
        return 0;
    }
    if (response->ErrorCode == RDM_ERR_NONE) {
        RequireGenuineAcceptance(*command, *response);
        ReadAsTheReadingSequence(request.pid, *response);
    }
    ASAN_UNPOISON_MEMORY_REGION(response->Raw + len, sizeof(response->Raw) - len);
    return 0;
}
