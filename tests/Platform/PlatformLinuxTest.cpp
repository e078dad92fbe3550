// The Linux platform layer against the real system: libraries, the executable's path, the 1 ms
// timer with its synchronous kill, the clocks and the SCHED_FIFO registration.
#include "Platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Waits (generously) until pred holds; false when it never did.
template <typename Pred> bool WaitFor(Pred pred, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(PlatformLibraries, LoadsBySystemSearchAndReportsTheFileActuallyMapped) {
    Platform::LibraryHandle lib = Platform::LoadDynamicLibrary("libm.so.6");
    ASSERT_NE(lib, nullptr);
    EXPECT_NE(Platform::GetSymbol(lib, "cos"), nullptr);
    EXPECT_EQ(Platform::GetSymbol(lib, "no_such_symbol_here"), nullptr);
    const std::string path = Platform::ModuleFileName(lib);
    EXPECT_EQ(path.front(), '/') << path;
    EXPECT_TRUE(EndsWith(path, "libm.so.6")) << path;
    Platform::FreeDynamicLibrary(lib);
}

TEST(PlatformLibraries, MissingLibraryAndNullHandlesAreHarmless) {
    EXPECT_EQ(Platform::LoadDynamicLibrary("/nonexistent/libnothing.so"), nullptr);
    EXPECT_EQ(Platform::LoadDynamicLibrary(""), nullptr);
    EXPECT_EQ(Platform::GetSymbol(nullptr, "cos"), nullptr);
    EXPECT_EQ(Platform::ModuleFileName(nullptr), "");
    Platform::FreeDynamicLibrary(nullptr);
}

TEST(PlatformExecutable, PathIsAbsoluteAndNamesThisTest) {
    const std::string exe = Platform::ExecutablePath();
    EXPECT_EQ(exe.front(), '/');
    EXPECT_TRUE(EndsWith(exe, "/PlatformLinuxTest")) << exe;
}

TEST(PlatformClocks, CountersAdvanceAndSleepWaitsAtLeastItsTime) {
    std::int64_t frequency = 0;
    ASSERT_TRUE(Platform::QueryPerformanceFrequency(frequency));
    EXPECT_EQ(frequency, 1'000'000'000);

    std::int64_t before = 0;
    std::int64_t after = 0;
    const std::uint32_t msBefore = Platform::TimeGetTime();
    ASSERT_TRUE(Platform::QueryPerformanceCounter(before));
    Platform::Sleep(20);
    ASSERT_TRUE(Platform::QueryPerformanceCounter(after));
    const std::uint32_t msAfter = Platform::TimeGetTime();
    EXPECT_GE(after - before, 20'000'000);
    EXPECT_GE(static_cast<std::uint32_t>(msAfter - msBefore), 19u); // whole milliseconds may cut one off
}

TEST(PlatformClocks, TimerCapabilitiesOfferOneMillisecond) {
    Platform::TimeCaps caps;
    ASSERT_TRUE(Platform::TimeGetDevCaps(caps));
    EXPECT_EQ(caps.wPeriodMin, 1u);
    EXPECT_GE(caps.wPeriodMax, caps.wPeriodMin);
    Platform::TimeBeginPeriod(caps.wPeriodMin);
    Platform::TimeEndPeriod(caps.wPeriodMin);
}

TEST(PlatformText, EightBitTextsAreLatin1) {
    EXPECT_EQ(Platform::AnsiCodePage(), 28591u);
}

// ---- Timer --------------------------------------------------------------------------------------

struct TickCounter {
    std::atomic<int> ticks{0};
    std::atomic<std::uint32_t> lastId{0};
    static void Callback(std::uint32_t id, void* user) {
        auto* self = static_cast<TickCounter*>(user);
        self->lastId.store(id);
        self->ticks.fetch_add(1);
    }
};

TEST(PlatformTimer, TicksWithItsOwnIdUntilKilledAndNeverAfterTheKillReturns) {
    TickCounter counter;
    const std::uint32_t id = Platform::TimeSetEvent(1, 1, TickCounter::Callback, &counter);
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(WaitFor([&] { return counter.ticks.load() >= 5; }));
    EXPECT_EQ(counter.lastId.load(), id);

    Platform::TimeKillEvent(id);
    const int atKill = counter.ticks.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(counter.ticks.load(), atKill);

    Platform::TimeKillEvent(id); // a second kill, like one of an unknown id, does nothing
    Platform::TimeKillEvent(0);
}

TEST(PlatformTimer, SeveralTimersRunIndependently) {
    TickCounter first;
    TickCounter second;
    const std::uint32_t a = Platform::TimeSetEvent(1, 1, TickCounter::Callback, &first);
    const std::uint32_t b = Platform::TimeSetEvent(1, 1, TickCounter::Callback, &second);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_TRUE(WaitFor([&] { return first.ticks.load() >= 3 && second.ticks.load() >= 3; }));

    Platform::TimeKillEvent(a);
    const int firstAtKill = first.ticks.load();
    const int secondAtKill = second.ticks.load();
    EXPECT_TRUE(WaitFor([&] { return second.ticks.load() >= secondAtKill + 3; }));
    EXPECT_EQ(first.ticks.load(), firstAtKill);
    Platform::TimeKillEvent(b);
}

struct ThreadRecorder {
    std::atomic<int> ticks{0};
    std::mutex lock;
    std::set<std::thread::id> threads;
    static void Callback(std::uint32_t, void* user) {
        auto* self = static_cast<ThreadRecorder*>(user);
        {
            std::lock_guard<std::mutex> guard(self->lock);
            self->threads.insert(std::this_thread::get_id());
        }
        self->ticks.fetch_add(1);
    }
};

// What a callback leaves with its thread (the real-time registration) must be there for the timer
// of the next wrapper: every timer, at the same time or one after the other, runs on one thread.
TEST(PlatformTimer, EveryTimerOfTheProcessRunsOnOneThread) {
    ThreadRecorder recorder;
    const auto runTwoTimers = [&] {
        const std::uint32_t a = Platform::TimeSetEvent(1, 1, ThreadRecorder::Callback, &recorder);
        const std::uint32_t b = Platform::TimeSetEvent(1, 1, ThreadRecorder::Callback, &recorder);
        ASSERT_NE(a, 0u);
        ASSERT_NE(b, 0u);
        const int from = recorder.ticks.load();
        EXPECT_TRUE(WaitFor([&] { return recorder.ticks.load() >= from + 6; }));
        Platform::TimeKillEvent(a);
        Platform::TimeKillEvent(b);
    };
    runTwoTimers();
    runTwoTimers();
    std::lock_guard<std::mutex> guard(recorder.lock);
    EXPECT_EQ(recorder.threads.size(), 1u);
    EXPECT_EQ(recorder.threads.count(std::this_thread::get_id()), 0u);
}

TEST(PlatformTimer, RefusesAZeroPeriodOrAMissingCallback) {
    TickCounter counter;
    EXPECT_EQ(Platform::TimeSetEvent(0, 1, TickCounter::Callback, &counter), 0u);
    EXPECT_EQ(Platform::TimeSetEvent(1, 1, nullptr, &counter), 0u);
}

struct SelfKiller {
    std::atomic<std::uint32_t> id{0};
    std::atomic<int> calls{0};
    std::atomic<bool> killReturned{false};
    static void Callback(std::uint32_t timerId, void* user) {
        auto* self = static_cast<SelfKiller*>(user);
        self->calls.fetch_add(1);
        Platform::TimeKillEvent(timerId);
        self->killReturned.store(true);
    }
};

TEST(PlatformTimer, KillingFromInsideTheCallbackReturnsAndStopsTheTimer) {
    static SelfKiller killer; // outlives the detached timer thread's last moments
    const std::uint32_t id = Platform::TimeSetEvent(1, 1, SelfKiller::Callback, &killer);
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(WaitFor([&] { return killer.killReturned.load(); }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(killer.calls.load(), 1);
}

struct SlowCallback {
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    static void Callback(std::uint32_t, void* user) {
        auto* self = static_cast<SlowCallback*>(user);
        self->inside.store(true);
        std::this_thread::sleep_for(30ms);
        self->finished.store(true);
    }
};

TEST(PlatformTimer, KillWaitsForACallbackInProgress) {
    SlowCallback slow;
    const std::uint32_t id = Platform::TimeSetEvent(1, 1, SlowCallback::Callback, &slow);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(WaitFor([&] { return slow.inside.load(); }));
    Platform::TimeKillEvent(id);
    EXPECT_TRUE(slow.finished.load());
}

// ---- Real-time registration ---------------------------------------------------------------------

TEST(PlatformThreadBoost, RegistrationIsRevertedOnlyByItsOwnThreadAndHandle) {
    const Platform::ThreadBoost boost = Platform::LoadThreadBoost();
    ASSERT_NE(boost.SetMmThreadCharacteristics, nullptr);
    ASSERT_NE(boost.SetMmThreadPriority, nullptr);
    ASSERT_NE(boost.RevertMmThreadCharacteristics, nullptr);
    EXPECT_FALSE(boost.RevertMmThreadCharacteristics(0));

    std::uint32_t taskIndex = 0;
    const std::uintptr_t handle = boost.SetMmThreadCharacteristics(L"Pro Audio", &taskIndex);
    if (handle == 0) {
        Platform::ReleaseThreadBoost();
        GTEST_SKIP() << "real-time scheduling is not permitted here";
    }
    EXPECT_NE(taskIndex, 0u);
    EXPECT_TRUE(boost.SetMmThreadPriority(handle, 2));

    bool revertedElsewhere = true;
    std::thread([&] { revertedElsewhere = boost.RevertMmThreadCharacteristics(handle); }).join();
    EXPECT_FALSE(revertedElsewhere);
    EXPECT_FALSE(boost.RevertMmThreadCharacteristics(handle + 1));

    EXPECT_TRUE(boost.RevertMmThreadCharacteristics(handle));
    EXPECT_FALSE(boost.RevertMmThreadCharacteristics(handle)); // already reverted
    EXPECT_FALSE(boost.SetMmThreadPriority(handle, 2));
    Platform::ReleaseThreadBoost();
}

} // namespace
