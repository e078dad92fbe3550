// How long the discovery search waits and how far it goes. The first question's 100 ms window is
// the session's (SessionTimings.h); the line's own figures (baud rates, reply lengths) are the cable
// layer's, in LineConstants.h.
#pragma once

#include <cstdint>

namespace SearchTiming {

// A responder starts its answer within 2 ms (E1.20); the FT232R hands received bytes to the host
// only when its latency timer (16 ms unless lowered) runs out. On top come the request still
// crossing the wire when the window opens and the answer's own bytes (each under 2 ms at 44 us a
// byte), and the millisecond clock's rounding.
inline constexpr int ResponderTurnaroundMs = 2;
inline constexpr int UsbLatencyTimerMs = 16;
inline constexpr int RequestAndAnswerOnWireMs = 4;
inline constexpr int ClockRoundingMs = 2;
constexpr int ReplyWindowMsFor(int LatencyTimerMs) {
    return ResponderTurnaroundMs + LatencyTimerMs + RequestAndAnswerOnWireMs + ClockRoundingMs;
}
inline constexpr int ReplyWindowMs = ReplyWindowMsFor(UsbLatencyTimerMs);

// The search gives up after this long, or after this many DISC_UNIQUE_BRANCH requests, whichever
// comes first: a line that shows only noise would otherwise be halved for ever. 32 fixtures of one
// batch take about 200 requests.
inline constexpr std::uint32_t DeadlineMs = 20000;
inline constexpr int MaxBranchRequests = 4000;

} // namespace SearchTiming
