// State of the cable layer shared by every wrapper and the timer threads, and the small helpers
// the wrapper's parts have in common. Internal to the cable layer.
#pragma once

#include "FTD2XXWrapper.h"
#include "LineConstants.h"

#include <atomic>
#include <cstdint>

namespace FTD2XXUnit {

// What the process learns once about its clocks, timer and scheduler; released at exit.
struct UnitState {
    bool UsingPerformanceCounter = false;
    std::int64_t PerformanceFrequency = 1000;
    std::int64_t MABPFCount = 1000;
    Platform::TimeCaps MMTimeCaps;
    Platform::ThreadBoost Avrt;

    UnitState();
    ~UnitState();
    UnitState(const UnitState&) = delete;
    UnitState& operator=(const UnitState&) = delete;
};
UnitState& Unit();

// The wrapper the timer serves; set by Initialize, cleared when that wrapper goes.
extern std::atomic<TFTD2XXWrapper*> ActiveWrapper;
// The scheduler registration the timer thread should have.
extern std::atomic<bool> AVRTBoostRequest;

// Releases a raised timer resolution, once per raise.
void EndTimerPeriod();

// Waits the mark after break on the performance counter without yielding; a 1 ms sleep where there
// is no counter.
void WaitMarkAfterBreak();

// A call through an entry point the library did not offer fails like a call the driver refused.
template <typename Fn, typename... Args> FT_STATUS Call(Fn entryPoint, Args... args) {
    if (entryPoint == nullptr)
        return FT_NOT_SUPPORTED;
    return entryPoint(args...);
}

} // namespace FTD2XXUnit
