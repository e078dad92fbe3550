// What Platform.h promises on every system, against the real system: libraries and their names,
// the executable's path, the clocks, the 1 ms timer with its synchronous kill, and the real-time
// registration. What one system adds is in PlatformLinuxTest.cpp or PlatformWindowsTest.cpp.
#include "Platform.h"
#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

fs::path FromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

// File names compared as the system does for the names used here (plain ASCII; Windows ignores case).
bool SameAsciiName(std::string a, std::string b) {
    const auto lower = [](std::string& s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    };
    lower(a);
    lower(b);
    return a == b;
}

// ---- Libraries and the executable -------------------------------------------------------------

// A library of the system (ZYL_SYSTEM_LIBRARY, with the entry point ZYL_SYSTEM_SYMBOL), by plain name.
TEST(PlatformLibraries, SystemLibraryByNameReportsItsFullName) {
    Platform::LibraryHandle lib = Platform::LoadDynamicLibrary(ZYL_SYSTEM_LIBRARY);
    ASSERT_NE(lib, nullptr);
    EXPECT_NE(Platform::GetSymbol(lib, ZYL_SYSTEM_SYMBOL), nullptr);
    EXPECT_EQ(Platform::GetSymbol(lib, "no_such_symbol_here"), nullptr);
    const fs::path path = FromUtf8(Platform::ModuleFileName(lib));
    EXPECT_TRUE(path.is_absolute()) << path;
    EXPECT_TRUE(SameAsciiName(path.filename().string(), ZYL_SYSTEM_LIBRARY)) << path;
    Platform::FreeDynamicLibrary(lib);
}

TEST(PlatformLibraries, FailuresAndNullHandlesGiveNothing) {
    const fs::path folder = FromUtf8(Platform::ExecutablePath()).parent_path();
    const std::u8string missing = (folder / "zyl-no-such-library").u8string();
    EXPECT_EQ(Platform::LoadDynamicLibrary(std::string(missing.begin(), missing.end())), nullptr);
    EXPECT_EQ(Platform::LoadDynamicLibrary("zyl-no-such-library"), nullptr);
    EXPECT_EQ(Platform::LoadDynamicLibrary(""), nullptr);
    EXPECT_EQ(Platform::GetSymbol(nullptr, ZYL_SYSTEM_SYMBOL), nullptr);
    EXPECT_EQ(Platform::ModuleFileName(nullptr), "");
    Platform::FreeDynamicLibrary(nullptr);
}

TEST(PlatformExecutable, PathIsTheRunningTestProgram) {
    const fs::path path = FromUtf8(Platform::ExecutablePath());
    EXPECT_TRUE(path.is_absolute()) << path;
    EXPECT_TRUE(SameAsciiName(path.stem().string(), "PlatformTest")) << path;
    EXPECT_TRUE(fs::exists(path)) << path;
}

// ---- Clocks -----------------------------------------------------------------------------------

TEST(PlatformClocks, AdvanceAcrossASleep) {
    std::int64_t frequency = 0;
    ASSERT_TRUE(Platform::QueryPerformanceFrequency(frequency));
    ASSERT_GT(frequency, 0);
    std::int64_t countsBefore = 0;
    std::int64_t countsAfter = 0;
    ASSERT_TRUE(Platform::QueryPerformanceCounter(countsBefore));
    const std::uint32_t msBefore = Platform::TimeGetTime();
    Platform::Sleep(50);
    const std::uint32_t msAfter = Platform::TimeGetTime();
    ASSERT_TRUE(Platform::QueryPerformanceCounter(countsAfter));
    // Lower bounds only, with room for coarse clock granularity: a loaded machine may sleep longer.
    EXPECT_GE(static_cast<std::uint32_t>(msAfter - msBefore), 40u);
    EXPECT_GE(countsAfter - countsBefore, frequency * 40 / 1000);
}

TEST(PlatformClocks, TimerCapabilitiesOfferOneMillisecond) {
    Platform::TimeCaps caps;
    ASSERT_TRUE(Platform::TimeGetDevCaps(caps));
    EXPECT_EQ(caps.wPeriodMin, 1u);
    EXPECT_GE(caps.wPeriodMax, caps.wPeriodMin);
    Platform::TimeBeginPeriod(caps.wPeriodMin);
    Platform::TimeEndPeriod(caps.wPeriodMin);
}

// ---- Timer ------------------------------------------------------------------------------------

struct TickCounter {
    std::atomic<int> ticks{0};
    std::atomic<std::uint32_t> lastTimerId{0};
    std::atomic<void*> lastUser{nullptr};
    std::atomic<bool> inCallback{false};
    std::chrono::milliseconds work{0};
};

void CountTick(std::uint32_t timerId, void* user) {
    auto* counter = static_cast<TickCounter*>(user);
    counter->inCallback = true;
    if (counter->work.count() > 0)
        std::this_thread::sleep_for(counter->work);
    counter->lastTimerId = timerId;
    counter->lastUser = user;
    ++counter->ticks;
    counter->inCallback = false;
}

TEST(PlatformTimer, TimersTickWithTheirIdAndUserValueUntilKilled) {
    TickCounter first;
    TickCounter second;
    const std::uint32_t firstId = Platform::TimeSetEvent(1, 1, &CountTick, &first);
    const std::uint32_t secondId = Platform::TimeSetEvent(1, 1, &CountTick, &second);
    ASSERT_NE(firstId, 0u);
    ASSERT_NE(secondId, 0u);
    EXPECT_NE(firstId, secondId);
    EXPECT_TRUE(WaitFor([&] { return first.ticks >= 50 && second.ticks >= 50; }));
    EXPECT_EQ(first.lastTimerId, firstId);
    EXPECT_EQ(first.lastUser, &first);
    EXPECT_EQ(second.lastTimerId, secondId);
    EXPECT_EQ(second.lastUser, &second);

    // Killing one leaves the other ticking; once a kill has returned, its timer never ticks again.
    Platform::TimeKillEvent(firstId);
    const int firstAtKill = first.ticks;
    const int secondAtKill = second.ticks;
    EXPECT_TRUE(WaitFor([&] { return second.ticks >= secondAtKill + 3; }));
    EXPECT_EQ(first.ticks, firstAtKill);
    Platform::TimeKillEvent(secondId);
    const int secondAtItsKill = second.ticks;
    Platform::Sleep(20);
    EXPECT_EQ(second.ticks, secondAtItsKill);
}

TEST(PlatformTimer, KillWaitsForARunningCallback) {
    TickCounter counter;
    counter.work = std::chrono::milliseconds(20);
    const std::uint32_t id = Platform::TimeSetEvent(1, 1, &CountTick, &counter);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(WaitFor([&] { return counter.inCallback.load(); }));
    Platform::TimeKillEvent(id);
    EXPECT_FALSE(counter.inCallback) << "a callback still ran after the kill returned";
    const int ticksAtKill = counter.ticks;
    Platform::Sleep(100);
    EXPECT_EQ(counter.ticks, ticksAtKill);
}

struct SelfKiller {
    std::atomic<int> calls{0};
    std::atomic<bool> killReturned{false};
};

void KillOwnTimer(std::uint32_t timerId, void* user) {
    auto* killer = static_cast<SelfKiller*>(user);
    ++killer->calls;
    Platform::TimeKillEvent(timerId);
    killer->killReturned = true;
}

TEST(PlatformTimer, KillFromInsideTheCallbackReturnsAndStops) {
    static SelfKiller killer; // the timer thread may touch it until its last callback has returned
    ASSERT_NE(Platform::TimeSetEvent(1, 1, &KillOwnTimer, &killer), 0u);
    ASSERT_TRUE(WaitFor([&] { return killer.killReturned.load(); }));
    Platform::Sleep(50);
    EXPECT_EQ(killer.calls, 1);
}

TEST(PlatformTimer, RefusalsAndRepeatedKillsAreHarmless) {
    TickCounter counter;
    EXPECT_EQ(Platform::TimeSetEvent(1, 1, nullptr, &counter), 0u);
    EXPECT_EQ(Platform::TimeSetEvent(0, 1, &CountTick, &counter), 0u);
    const std::uint32_t id = Platform::TimeSetEvent(1, 1, &CountTick, &counter);
    ASSERT_NE(id, 0u);
    Platform::TimeKillEvent(id);
    Platform::TimeKillEvent(id); // a second kill, like one of an unknown id, does nothing
    Platform::TimeKillEvent(0);
}

// ---- Real-time registration -------------------------------------------------------------------

TEST(PlatformThreadBoost, RegistersRaisesAndReverts) {
    const Platform::ThreadBoost boost = Platform::LoadThreadBoost();
    ASSERT_NE(boost.SetMmThreadCharacteristics, nullptr);
    ASSERT_NE(boost.SetMmThreadPriority, nullptr);
    ASSERT_NE(boost.RevertMmThreadCharacteristics, nullptr);
    EXPECT_FALSE(boost.SetMmThreadPriority(0, 2));
    EXPECT_FALSE(boost.RevertMmThreadCharacteristics(0));

    std::uint32_t taskIndex = 0;
    const std::uintptr_t handle = boost.SetMmThreadCharacteristics(L"Pro Audio", &taskIndex);
    if (handle == 0) {
        Platform::ReleaseThreadBoost();
        GTEST_SKIP() << "real-time scheduling is not permitted here";
    }
    EXPECT_TRUE(boost.SetMmThreadPriority(handle, 2));
    EXPECT_TRUE(boost.RevertMmThreadCharacteristics(handle));
    Platform::ReleaseThreadBoost();
}

} // namespace
