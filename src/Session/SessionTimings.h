// The session's waits and limits: how long it waits for a reply and for a discovery answer, the
// fixture's time after it was found and after each write, the idle frames between discovery attempts
// that found nothing, the pace of the fixture list, and how many failed readings it takes in a row. The
// line's own timings (break, mark after break, the pause after a request without a reply) belong to the cable
// layer.
#pragma once

#include <cstdint>

namespace SessionTimings {

inline constexpr std::uint32_t ReplyTimeoutMs = 1000;
inline constexpr int DiscoveryReplyWindowMs = 100;
inline constexpr int SettleAfterDiscoveryMs = 100;
inline constexpr int IdleFramesAfterFailedDiscovery = 6;
inline constexpr int IdleFrameGapMs = 50;
inline constexpr int SettleAfterWriteMs = 2500;
// While the list of several fixtures waits for a touch: the pause between looks at the window, and
// how often the quiet cable is asked whether it is still there.
inline constexpr int ListIdleMs = 20;
inline constexpr int ListCableCheckMs = 1000;
// Reading is repeated after an RDM error; the error after this many gives up on the fixture.
inline constexpr int MaxReadingErrors = 3;

} // namespace SessionTimings
