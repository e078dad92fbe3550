// What the Linux platform layer adds to the promises of PlatformTest.cpp: nanosecond counters,
// Latin-1 texts, one timer thread for the whole process, and SCHED_FIFO registrations that only
// their own thread can revert.
#include "Platform.h"
#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace {

TEST(PlatformLinux, CountsNanosecondsAndSleepsItsFullTime) {
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

// No system conversion here: the tool's own Windows-1252 table reads fixture texts.
TEST(PlatformLinux, EightBitTextsAreWindows1252WithoutASystemConversion) {
    EXPECT_EQ(Platform::AnsiCodePage(), 1252u);
    EXPECT_EQ(Platform::CodePageToUtf8(0, "a"), std::nullopt);
    EXPECT_EQ(Platform::Utf8ToCodePage(1251, "a"), std::nullopt);
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
TEST(PlatformLinux, EveryTimerOfTheProcessRunsOnOneThread) {
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

TEST(PlatformLinux, RegistrationIsRevertedOnlyByItsOwnThreadAndHandle) {
    const Platform::ThreadBoost boost = Platform::LoadThreadBoost();
    std::uint32_t taskIndex = 0;
    const std::uintptr_t handle = boost.SetMmThreadCharacteristics(L"Pro Audio", &taskIndex);
    if (handle == 0) {
        Platform::ReleaseThreadBoost();
        GTEST_SKIP() << "real-time scheduling is not permitted here";
    }
    EXPECT_NE(taskIndex, 0u);

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
