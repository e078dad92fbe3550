// The virtual cable as the benchmarks set it up: one FT232R cable with one VEK-340 on its line,
// the line's real timing, and a USB latency of choice.
#pragma once

#include "VirtualCable.h"

#include <cstdint>
#include <string>

namespace bench {

// 0.2 ms turnaround, 44 us per byte, and the given USB latency.
VC_Timing LineTiming(std::uint32_t usbLatencyUs);
std::string LatencyText(const VC_Timing& timing); // e.g. "16 ms"

// Whether the tool may lower the cable's latency timer when it opens the cable. Kept: the virtual
// cable refuses FT_SetLatencyTimer, as a library without it leaves the timer, so the line keeps
// the timing's USB latency.
enum class LatencyTimer { Kept, LoweredByTheTool };
// The timing as a cable whose latency timer is `timerMs` has it: a timer set shorter than the
// timing's USB latency takes its place, as the virtual cable does.
VC_Timing WithLatencyTimer(const VC_Timing& timing, int timerMs);
// The virtual cable's latency timer of cable 0 now (16 while it is not open).
int LatencyTimerMsNow();

// A VEK-340 that offers `personalities` DMX personalities (1 .. VC_MAX_PERSONALITIES).
VC_FixtureConfig FixtureWithPersonalities(int personalities);

// Replaces whatever the virtual cable held by one cable with `fixture` on its line; empty capture.
void SetUpLine(const VC_Timing& timing, const VC_FixtureConfig& fixture,
               LatencyTimer timer = LatencyTimer::Kept);

} // namespace bench
