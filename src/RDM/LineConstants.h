// The line as the tool drives it: how a break and the data are sent, how long replies are and the
// rest after a request without a reply. The cable layer, the benchmarks and the fuzzers read these;
// the virtual cable keeps figures of its own, being the independent check.
// The start codes and the packet sizes are in RDM_Lib.h.
#pragma once

#include <cstdint>

namespace RDMLine {

// The break is one zero byte sent at a fifth of the data rate; the data follows at DataBaudRate
// after the mark after break.
inline constexpr std::uint32_t BreakBaudRate = 50000;
inline constexpr std::uint32_t DataBaudRate = 250000;
inline constexpr std::uint8_t BreakByte = 0x00;
inline constexpr std::int64_t MarkAfterBreakMicros = 212;

// A DMX512 frame (the refresh and the idle frames) starts with this in place of an RDM start code.
inline constexpr std::uint8_t DMXStartCode = 0x00;

// The reply to DISC_UNIQUE_BRANCH: up to seven preamble bytes, the separator, then the encoded UID
// and checksum.
inline constexpr int DiscoverySeparatorSearchBytes = 8; // the separator lies among these
inline constexpr int DiscoveryEncodedUIDBytes = 12;
inline constexpr int DiscoveryEncodedChecksumBytes = 4;
inline constexpr int DiscoveryReplyLen =
    1 + DiscoveryEncodedUIDBytes + DiscoveryEncodedChecksumBytes; // from the separator on

// Collecting an RDM reply stops once more than this is stored: longer than any reply can be.
inline constexpr int MaxStoredReplyLen = 257;

// After a request that expects no reply, the line rests this long before it is used again. How long
// the tool waits for replies is the session's choice (SessionTimings.h).
inline constexpr std::uint32_t PauseAfterSendWithoutReplyMs = 40;

} // namespace RDMLine
