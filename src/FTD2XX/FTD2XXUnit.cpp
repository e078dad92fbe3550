#include "FTD2XXUnit.h"

#include <cmath>

std::mutex DMXLock;
const TDMXBuffer DMXBuffer{};

namespace FTD2XXUnit {

UnitState::UnitState() {
    std::int64_t frequency = 0;
    UsingPerformanceCounter = Platform::QueryPerformanceFrequency(frequency);
    if (UsingPerformanceCounter) {
        PerformanceFrequency = frequency;
        MABPFCount = std::llround(static_cast<double>(frequency) / 1000000.0 * RDMLine::MarkAfterBreakMicros);
    }
    Platform::TimeCaps caps;
    if (Platform::TimeGetDevCaps(caps))
        MMTimeCaps = caps;
    Avrt = Platform::LoadThreadBoost();
}

UnitState::~UnitState() {
    Platform::ReleaseThreadBoost();
}

UnitState& Unit() {
    static UnitState state;
    return state;
}

void WaitMarkAfterBreak() {
    const UnitState& unit = Unit();
    if (!unit.UsingPerformanceCounter) {
        Platform::Sleep(1);
        return;
    }
    std::int64_t start = 0;
    if (!Platform::QueryPerformanceCounter(start))
        return;
    std::int64_t now = start;
    while (now - start < unit.MABPFCount) {
        if (!Platform::QueryPerformanceCounter(now))
            break;
    }
}

} // namespace FTD2XXUnit
