// The session's waits and limits: how long it waits for a reply and for a discovery answer, the
// fixture's time after it was found and after each write, the idle frames between discovery attempts
// that found nothing, and how many failed readings it takes in a row. The line's own timings (break,
// mark after break, the pause after a request without a reply) belong to the cable layer.
#pragma once

#include <cstdint>

namespace SessionTimings {

inline constexpr std::uint32_t ReplyTimeoutMs = 1000;
inline constexpr int DiscoveryReplyWindowMs = 100;
inline constexpr int SettleAfterDiscoveryMs = 100;
inline constexpr int IdleFramesAfterFailedDiscovery = 6;
inline constexpr int IdleFrameGapMs = 50;
inline constexpr int SettleAfterWriteMs = 2500;
// Reading is repeated after an RDM error; the error after this many gives up on the fixture.
inline constexpr int MaxReadingErrors = 3;

} // namespace SessionTimings
