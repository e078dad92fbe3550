#include "VirtualLine.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace bench {

VC_Timing LineTiming(std::uint32_t usbLatencyUs) {
    VC_Timing timing{};
    timing.turnaround_us = 200;
    timing.byte_us = 44;
    timing.usb_latency_us = usbLatencyUs;
    return timing;
}

std::string LatencyText(const VC_Timing& timing) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g ms", timing.usb_latency_us / 1000.0);
    return text;
}

VC_Timing WithLatencyTimer(const VC_Timing& timing, int timerMs) {
    constexpr int ResetTimerMs = 16;
    VC_Timing effective = timing;
    if (timerMs != ResetTimerMs)
        effective.usb_latency_us = std::min<std::uint32_t>(timing.usb_latency_us, timerMs * 1000u);
    return effective;
}

int LatencyTimerMsNow() {
    VC_CableSettings settings{};
    if (VC_GetCableSettings(0, &settings) != 0)
        throw std::runtime_error("the virtual cable has no cable 0");
    return settings.latency_timer_ms;
}

VC_FixtureConfig FixtureWithPersonalities(int personalities) {
    VC_FixtureConfig fixture{};
    VC_DefaultFixture(&fixture);
    fixture.personality_count = static_cast<std::uint8_t>(std::clamp(personalities, 1, VC_MAX_PERSONALITIES));
    for (int i = 0; i < fixture.personality_count; ++i) {
        VC_Personality& p = fixture.personalities[i];
        p.footprint = static_cast<std::uint16_t>(4 + 2 * i);
        // Names of a realistic length, so the description replies have a realistic size.
        std::snprintf(p.name, sizeof(p.name), "RGBW 16-bit + strobe, mode %d", i + 1);
    }
    fixture.current_personality = 1;
    return fixture;
}

void SetUpLine(const VC_Timing& timing, const VC_FixtureConfig& fixture, LatencyTimer timer) {
    constexpr std::uint32_t NotSupported = 17; // FT_NOT_SUPPORTED
    VC_FailCall("FT_SetLatencyTimer", NotSupported, timer == LatencyTimer::Kept ? -1 : 0);
    VC_Clear();
    VC_CableConfig cable{};
    VC_DefaultCable(&cable);
    const int cableIndex = VC_AddCable(&cable);
    if (VC_AddFixture(cableIndex, &fixture) < 0)
        throw std::runtime_error("the virtual cable refused the fixture");
    VC_SetTiming(&timing);
    VC_CaptureClear();
}

} // namespace bench
