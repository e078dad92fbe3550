// An arbitrary byte stream put on the line by the virtual fixture in place of its answer, collected
// by the cable layer: RDMCommandWithResponse for each request the tool sends (even first byte: the
// request) or DiscoveryCommand (odd first byte). Whatever arrives, collection stays inside the reply
// record, stores exactly what came from the start code (or separator) on, and reports a complete
// reply only when it is one.
#include "FTD2XXWrapper.h"
#include "FuzzCheck.h"
#include "LineConstants.h"
#include "RDM_Lib.h"
#include "ToolRequests.h"
#include "VirtualCable.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr int kCable = 0;
constexpr int kFixture = 0;
// Replies are readable at once with fast timing; the limit only bounds the wait for missing bytes.
constexpr std::uint32_t kReplyTimeoutMs = 5;
constexpr int kDiscoveryTimeoutMs = 5;
constexpr int kMaxStored = RDMLine::MaxStoredReplyLen + 1; // collection stops once more is stored
constexpr std::size_t kDiscoveryReplyLen = RDMLine::DiscoveryReplyLen;

struct Line {
    std::unique_ptr<TFTD2XXWrapper> wrapper;
    TUID fixture{};
};

Line& OpenLine() {
    static Line line = [] {
        Line l;
        VC_Reset();
        VC_SetFastTiming();
        l.wrapper = std::make_unique<TFTD2XXWrapper>();
        l.wrapper->SetDMXStreamDisabled(true);
        FUZZ_REQUIRE(l.wrapper->Initialize(), "the virtual cable could not be bound");
        FUZZ_REQUIRE(l.wrapper->OpenAvailableInterfaceByIndex(kCable), "the virtual cable did not open");
        VC_FixtureConfig config;
        VC_GetFixture(kFixture, &config);
        config.busy_after_set_ms = 0; // every input gets its reply, also right after a SET
        VC_SetFixture(kFixture, &config);
        std::memcpy(l.fixture.Bytes, config.uid, sizeof l.fixture.Bytes);
        return l;
    }();
    return line;
}

const std::uint8_t* Find(const std::uint8_t* first, const std::uint8_t* last, std::uint8_t value) {
    return std::find(first, last, value);
}

void CollectReply(Line& line, const TToolRequest& request, const std::uint8_t* stream, std::size_t len) {
    const auto command = BuildToolRequest(request, line.fixture);
    auto response = std::make_unique<TRDMResponseData>();
    const bool complete = line.wrapper->RDMCommandWithResponse(kCable, *command, *response, kReplyTimeoutMs);

    const int stored = response->ResponseLen;
    FUZZ_REQUIRE(stored >= 0 && stored <= kMaxStored, "the collector stored more than a reply can hold");
    for (std::size_t i = static_cast<std::size_t>(stored); i < sizeof response->Raw; ++i)
        FUZZ_REQUIRE(response->Raw[i] == 0, "bytes behind the stored reply are not zero");
    if (stored > 0) {
        const std::uint8_t* start = Find(stream, stream + len, RDM_START_CODE);
        FUZZ_REQUIRE(start != stream + len, "a reply was stored from a stream without start code");
        FUZZ_REQUIRE(static_cast<std::size_t>(stream + len - start) >= static_cast<std::size_t>(stored) &&
                         std::memcmp(response->Raw, start, static_cast<std::size_t>(stored)) == 0,
                     "the stored reply is not the stream from its start code on");
    }
    if (complete) {
        FUZZ_REQUIRE(stored > 2 && stored == response->Raw[2] + 2,
                     "an incomplete reply was reported complete");
        try {
            CheckRDMResponse(*command, *response, 1000);
        } catch (const EAssertionFailed&) {
            // ACK_TIMER and ACK_OVERFLOW: the state machine lets these through to the bootstrap.
        }
    }
}

void CollectDiscovery(Line& line, const std::uint8_t* stream, std::size_t len) {
    TUID uid{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
    const bool found =
        line.wrapper->DiscoveryCommand(kCable, *BuildDiscoveryOfAll(), uid, kDiscoveryTimeoutMs);
    if (!found)
        return;
    const std::uint8_t* separator = Find(stream, stream + len, RDM_DISCOVERY_SEPARATOR);
    FUZZ_REQUIRE(separator != stream + len &&
                     static_cast<std::size_t>(stream + len - separator) >= kDiscoveryReplyLen,
                 "a UID was taken from an incomplete discovery reply");
    for (int k = 0; k < 6; ++k)
        FUZZ_REQUIRE(uid.Bytes[k] == (separator[1 + 2 * k] & separator[2 + 2 * k]),
                     "the UID found is not the one on the line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    if (size < 1)
        return 0;
    Line& line = OpenLine();
    const std::uint8_t* stream = input + 1;
    const std::size_t len = std::min<std::size_t>(size - 1, VC_RAW_REPLY_MAX_BYTES);
    const bool discovery = (input[0] & 1) != 0;
    const TToolRequest& request = kToolRequests[(input[0] >> 1) % kToolRequestCount];
    const int cc = discovery ? 0x10 : request.cc;
    const int pid = discovery ? 0x0001 : request.pid;
    VC_SetRawReply(kFixture, stream, static_cast<int>(len), cc, pid, 1);
    if (discovery)
        CollectDiscovery(line, stream, len);
    else
        CollectReply(line, request, stream, len);
    VC_SetRawReply(kFixture, nullptr, 0, -1, -1, 0);
    VC_CaptureClear(); // the line capture would otherwise fill up to its limit over a long run
    return 0;
}
