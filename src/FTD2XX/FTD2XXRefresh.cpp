// The background DMX refresh on the 1 ms timer, the tick count, and the timer thread's real-time
// registration and timer resolution.
#include "FTD2XXUnit.h"

#include <mutex>
#include <vector>

using namespace FTD2XXUnit;

namespace {

constexpr std::uint32_t RefreshIntervalMs = 40;
constexpr std::uint32_t PauseAfterRefreshMs = 5;
constexpr wchar_t BoostTaskName[] = L"Pro Audio";
constexpr int BoostPriorityCritical = 2;

std::atomic<std::uint32_t> LastRefreshTime{0};

// The scheduler registration and the timer resolution are changed by whichever timer thread ticks
// and by the user-interface thread; BoostLock keeps each change whole.
std::mutex BoostLock;
std::atomic<bool> AVRTBoostActive{false};
std::uintptr_t AvrtTaskHandle = 0; // under BoostLock
std::uint32_t AvrtTaskIndex = 0;   // under BoostLock
std::atomic<bool> TimerPeriodRaisedFlag{false};

// Registers or unregisters the calling timer thread when the request changed; the first
// registration attempt also raises the timer resolution.
void UpdateThreadBoost() {
    if (AVRTBoostRequest.load() == AVRTBoostActive.load())
        return;
    std::lock_guard<std::mutex> guard(BoostLock);
    const bool request = AVRTBoostRequest.load();
    if (request == AVRTBoostActive.load())
        return;
    const UnitState& unit = Unit();
    if (request) {
        AvrtTaskHandle = 0;
        AvrtTaskIndex = 0;
        if (unit.Avrt.SetMmThreadCharacteristics != nullptr)
            AvrtTaskHandle = unit.Avrt.SetMmThreadCharacteristics(BoostTaskName, &AvrtTaskIndex);
        if (AvrtTaskHandle != 0 && unit.Avrt.SetMmThreadPriority != nullptr)
            unit.Avrt.SetMmThreadPriority(AvrtTaskHandle, BoostPriorityCritical);
        const bool active = AvrtTaskHandle != 0;
        AVRTBoostActive.store(active);
        AVRTBoostRequest.store(active); // a failed registration withdraws the request instead of retrying
        if (unit.MMTimeCaps.wPeriodMin > 0 && !TimerPeriodRaisedFlag.load()) {
            Platform::TimeBeginPeriod(unit.MMTimeCaps.wPeriodMin);
            TimerPeriodRaisedFlag.store(true);
        }
    } else if (AvrtTaskHandle != 0 && unit.Avrt.RevertMmThreadCharacteristics != nullptr &&
               unit.Avrt.RevertMmThreadCharacteristics(AvrtTaskHandle)) {
        AVRTBoostActive.store(false);
        AVRTBoostRequest.store(false);
        AvrtTaskHandle = 0;
    }
}

} // namespace

namespace FTD2XXUnit {

std::atomic<TFTD2XXWrapper*> ActiveWrapper{nullptr};
std::atomic<bool> AVRTBoostRequest{false};

void EndTimerPeriod() {
    std::lock_guard<std::mutex> guard(BoostLock);
    if (TimerPeriodRaisedFlag.load()) {
        Platform::TimeEndPeriod(Unit().MMTimeCaps.wPeriodMin);
        TimerPeriodRaisedFlag.store(false);
    }
}

} // namespace FTD2XXUnit

// ---- Background refresh -------------------------------------------------------------------------

bool TFTD2XXWrapper::DMXStreamDisabled() const {
    return fDisableDMXStream.load();
}
void TFTD2XXWrapper::SetDMXStreamDisabled(bool v) {
    fDisableDMXStream.store(v);
}

// The timer thread copies the frame under DMXLock, so reading and writing it whole takes the lock too.
TDMXBuffer TFTD2XXWrapper::OutData() const {
    std::lock_guard<std::mutex> guard(DMXLock);
    return fOutData;
}

void TFTD2XXWrapper::SetOutData(const TDMXBuffer& v) {
    std::lock_guard<std::mutex> guard(DMXLock);
    fOutData = v;
}

std::int64_t TFTD2XXWrapper::GetPacketCount(int Idx) const {
    if (!IsValidInterface(Idx))
        return -1;
    return fInterfaceList[static_cast<std::size_t>(Idx)]->OutPacketCount();
}

bool TFTD2XXWrapper::AVRTBoost() {
    return AVRTBoostRequest.load();
}

void TFTD2XXWrapper::SetAVRTBoost(bool v) {
    std::lock_guard<std::mutex> guard(BoostLock);
    if (v != AVRTBoostActive.load())
        AVRTBoostRequest.store(v);
}

Platform::TimeCaps TFTD2XXWrapper::MMTimeCaps() {
    return Unit().MMTimeCaps;
}
bool TFTD2XXWrapper::UsingPerformanceCounter() {
    return Unit().UsingPerformanceCounter;
}
std::int64_t TFTD2XXWrapper::MABPFCount() {
    return Unit().MABPFCount;
}
bool TFTD2XXWrapper::TimerPeriodRaised() {
    return TimerPeriodRaisedFlag.load();
}

// Sends the current frame to every opened cable; runs on the timer thread.
void TFTD2XXWrapper::RefreshDMX() {
    TDMXBuffer frame;
    std::vector<TDMXInterface*> interfaces;
    {
        std::lock_guard<std::mutex> guard(DMXLock);
        frame = fOutData;
        interfaces.reserve(fInterfaceList.size());
        for (const auto& dmxInterface : fInterfaceList)
            interfaces.push_back(dmxInterface.get());
    }
    // The interfaces live until the wrapper is destroyed, which kills this timer first.
    for (TDMXInterface* dmxInterface : interfaces) {
        dmxInterface->fOutPacketCount.fetch_add(1);
        SendBreakAndData(dmxInterface->fDeviceHandle, frame.Buffer, sizeof(frame.Buffer));
        FT_DWORD rx = 0;
        FT_DWORD tx = 0;
        FT_DWORD events = 0;
        StoreStatus(Call(FTGetStatus, dmxInterface->fDeviceHandle, &rx, &tx, &events));
    }
}

void MMTimerCallback(std::uint32_t /*timerId*/, void* user) {
    try {
        UpdateThreadBoost();

        TFTD2XXWrapper* wrapper = ActiveWrapper.load();
        if (wrapper == nullptr || wrapper != user)
            return; // only the active wrapper's own timer serves it, so no other timer outlives it
        wrapper->fMMTicks.fetch_add(1);
        if (wrapper->fDisableDMXStream.load())
            return;

        const std::uint32_t now = Platform::TimeGetTime();
        const std::uint32_t last = LastRefreshTime.load();
        if (now - last < RefreshIntervalMs && last <= now)
            return;
        struct RefreshEnd {
            std::uint32_t startedAt;
            ~RefreshEnd() {
                LastRefreshTime.store(startedAt);
                Platform::Sleep(PauseAfterRefreshMs);
            }
        } refreshEnd{now};
        wrapper->RefreshDMX();
    } catch (...) {
        // Nothing may leave the timer thread; the next tick tries again.
    }
}
