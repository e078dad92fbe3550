#include "LineFloor.h"

#include "LineConstants.h"
#include "RDM_Lib.h"
#include "SessionTimings.h"

#include <algorithm>
#include <cstdint>

namespace bench {

namespace {

// The break is one zero byte at a fifth of the data rate: it lasts as long as five data bytes. The
// data follows when it has left the wire, the mark-after-break wait being shorter than a byte.
constexpr double BreakBytes = static_cast<double>(RDMLine::DataBaudRate) / RDMLine::BreakBaudRate;

} // namespace

RequestKind KindOf(const VC_Packet& p) {
    RequestKind kind;
    if (p.length < RDM_HEADER_SIZE || p.bytes[0] != RDM_START_CODE)
        return kind;
    kind.rdm = true;
    kind.broadcast = true;
    for (int i = 3; i < 9; ++i)
        kind.broadcast = kind.broadcast && p.bytes[i] == 0xFF;
    kind.cc = p.bytes[20];
    kind.pid = static_cast<std::uint16_t>((p.bytes[21] << 8) | p.bytes[22]);
    return kind;
}

LineFloor FloorOfCapture(const VC_Timing& timing, int first, int last, WaitScope scope, int searchWindowMs) {
    LineFloor floor;
    const double byteMs = timing.byte_us / 1000.0;
    const bool stateMachine = scope == WaitScope::StateMachine;
    const bool search = scope == WaitScope::DiscoverySearch;
    bool firstQuestion = true;
    VC_Packet packet{};
    VC_Packet next{};
    for (int i = first; i < last; ++i) {
        if (VC_CaptureGet(i, &packet) != 0)
            break;
        if (packet.direction == VC_FROM_FIXTURE) {
            ++floor.Replies;
            floor.WireMs +=
                timing.turnaround_us / 1000.0 + packet.length * byteMs + timing.usb_latency_us / 1000.0;
            continue;
        }
        ++floor.Requests;
        const double wireMs = (BreakBytes + packet.length) * byteMs;
        floor.WireMs += wireMs;
        // A pause that starts when the bytes are handed to the driver runs while they cross the wire.
        const auto pauseWhileSending = [&](double pauseMs) {
            floor.WaitMs += std::max(0.0, pauseMs - wireMs);
        };
        const bool answered =
            i + 1 < last && VC_CaptureGet(i + 1, &next) == 0 && next.direction == VC_FROM_FIXTURE;
        const RequestKind kind = KindOf(packet);
        if (kind.rdm && kind.cc == CC_DISCOVERY_COMMAND && kind.pid == PID_DISC_UN_MUTE && kind.broadcast) {
            pauseWhileSending(RDMLine::PauseAfterSendWithoutReplyMs); // sent without turning the line around
        } else if (kind.rdm && kind.cc == CC_DISCOVERY_COMMAND && kind.pid == PID_DISC_UNIQUE_BRANCH) {
            if (stateMachine)
                floor.WaitMs += answered ? SessionTimings::SettleAfterDiscoveryMs
                                         : SessionTimings::DiscoveryReplyWindowMs;
            if (search && !answered)
                floor.WaitMs += firstQuestion ? SessionTimings::DiscoveryReplyWindowMs : searchWindowMs;
            firstQuestion = false;
        } else if (kind.rdm) {
            if (stateMachine && !answered)
                floor.WaitMs += SessionTimings::ReplyTimeoutMs;
            if (search && !answered)
                floor.WaitMs += searchWindowMs;
        } else if (packet.length > 0 && packet.bytes[0] == RDMLine::DMXStartCode && stateMachine) {
            pauseWhileSending(SessionTimings::IdleFrameGapMs);
        }
    }
    return floor;
}

} // namespace bench
