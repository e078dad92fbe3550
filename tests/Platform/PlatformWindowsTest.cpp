// The Windows platform layer against the real system calls: UTF-8 paths in and out of
// LoadLibraryW / GetModuleFileNameW, the multimedia timer with its synchronous kill, the clocks and
// the Avrt.DLL scheduling entry points.
#include "Platform.h"

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h> // GetACP, the system folder, loaded modules

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cwctype>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path FromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

bool SameTextIgnoringCase(std::wstring a, std::wstring b) {
    const auto lower = [](std::wstring& s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    };
    lower(a);
    lower(b);
    return a == b;
}

constexpr const char* probeFileName = "zyl_platform_probe.dll";
using ProbeAnswer = int (*)();

fs::path ExecutableFolder() {
    return FromUtf8(Platform::ExecutablePath()).parent_path();
}

int CallProbe(Platform::LibraryHandle lib) {
    void* symbol = Platform::GetSymbol(lib, "ZylProbeAnswer");
    if (symbol == nullptr)
        return -1;
    return reinterpret_cast<ProbeAnswer>(symbol)();
}

// Waits (generously) until the condition holds; false when it never did.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// ---- Executable and libraries -----------------------------------------------------------------

TEST(PlatformWindowsExecutable, PathIsTheRunningTestProgram) {
    const fs::path path = FromUtf8(Platform::ExecutablePath());
    EXPECT_TRUE(path.is_absolute()) << Utf8(path);
    EXPECT_TRUE(SameTextIgnoringCase(path.filename().wstring(), L"PlatformWindowsTest.exe")) << Utf8(path);
    EXPECT_TRUE(fs::exists(path)) << Utf8(path);
}

struct FolderCase {
    const char* name;
    std::u8string folder; // created under the temporary folder
    std::size_t pathLength =
        0; // when not 0: the folder name is padded so the DLL's full path has this length
};

void PrintTo(const FolderCase& folderCase, std::ostream* out) {
    *out << folderCase.name;
}

class PlatformWindowsLoadFrom : public testing::TestWithParam<FolderCase> {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() / (std::string("zyl-platform-") + GetParam().name);
        std::error_code ignored;
        fs::remove_all(root, ignored);
        fs::path folder = root / GetParam().folder;
        if (GetParam().pathLength != 0) {
            const std::size_t current = (folder / probeFileName).wstring().size();
            ASSERT_LT(current, GetParam().pathLength) << "temporary folder too deep for this case";
            folder += std::wstring(GetParam().pathLength - current, L'x');
        }
        fs::create_directories(folder);
        dll = folder / probeFileName;
        fs::copy_file(ExecutableFolder() / probeFileName, dll, fs::copy_options::overwrite_existing);
    }
    void TearDown() override {
        Platform::FreeDynamicLibrary(lib);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    fs::path root;
    fs::path dll;
    Platform::LibraryHandle lib = nullptr;
};

TEST_P(PlatformWindowsLoadFrom, LoadsResolvesAndReportsTheFullName) {
    if (GetParam().pathLength != 0) {
        ASSERT_EQ(dll.wstring().size(), GetParam().pathLength);
    }
    lib = Platform::LoadDynamicLibrary(Utf8(dll));
    ASSERT_NE(lib, nullptr) << Utf8(dll);
    EXPECT_EQ(CallProbe(lib), 42);
    const std::string reported = Platform::ModuleFileName(lib);
    EXPECT_EQ(reported.size(), Utf8(dll).size()) << reported;
    EXPECT_TRUE(SameTextIgnoringCase(FromUtf8(reported).wstring(), dll.wstring())) << reported;
}

INSTANTIATE_TEST_SUITE_P(
    Folders, PlatformWindowsLoadFrom,
    testing::Values(FolderCase{"PlainAscii", u8"plain folder"},
                    FolderCase{"NonAsciiNames", u8"Prüfung ÄÖÜ \u30c6\u30b9\u30c8 \U0001F4A1"},
                    // Longer than a 256-character name buffer, still within MAX_PATH.
                    FolderCase{"NameLongerThan256", u8"deep-", 258}),
    [](const testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

TEST(PlatformWindowsLibrary, PlainNameIsFoundBesideTheExecutableAndInTheSystemFolder) {
    Platform::LibraryHandle probe = Platform::LoadDynamicLibrary(probeFileName);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(CallProbe(probe), 42);
    EXPECT_TRUE(SameTextIgnoringCase(FromUtf8(Platform::ModuleFileName(probe)).wstring(),
                                     (ExecutableFolder() / probeFileName).wstring()));
    Platform::FreeDynamicLibrary(probe);

    Platform::LibraryHandle kernel = Platform::LoadDynamicLibrary("kernel32.dll");
    ASSERT_NE(kernel, nullptr);
    EXPECT_NE(Platform::GetSymbol(kernel, "GetTickCount"), nullptr);
    EXPECT_TRUE(SameTextIgnoringCase(FromUtf8(Platform::ModuleFileName(kernel)).filename().wstring(),
                                     L"kernel32.dll"));
    Platform::FreeDynamicLibrary(kernel);
}

TEST(PlatformWindowsLibrary, FailuresGiveNothing) {
    EXPECT_EQ(Platform::LoadDynamicLibrary(Utf8(ExecutableFolder() / "no-such-library.dll")), nullptr);
    EXPECT_EQ(Platform::LoadDynamicLibrary("no-such-library.dll"), nullptr);
    EXPECT_EQ(Platform::LoadDynamicLibrary(""), nullptr);
    // Not UTF-8: must not be read as some other name and load that.
    EXPECT_EQ(Platform::LoadDynamicLibrary(std::string("zyl_platform_probe\xff.dll")), nullptr);

    Platform::LibraryHandle probe = Platform::LoadDynamicLibrary(probeFileName);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(Platform::GetSymbol(probe, "NoSuchEntryPoint"), nullptr);
    Platform::FreeDynamicLibrary(probe);

    EXPECT_EQ(Platform::GetSymbol(nullptr, "ZylProbeAnswer"), nullptr);
    EXPECT_EQ(Platform::ModuleFileName(nullptr), "");
    Platform::FreeDynamicLibrary(nullptr);
}

// Libraries planted in the working folder: a folder the user happened to start the tool from must
// never supply code. The probe DLL stands in for the planted files under the system's names.
class PlatformWindowsPlanted : public testing::Test {
  protected:
    void SetUp() override {
        previous = fs::current_path();
        folder = fs::temp_directory_path() / "zyl-planted";
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        fs::create_directories(folder);
        for (const char* name : {"Avrt.dll", "hhctrl.ocx", "zyl_planted_only.dll"})
            fs::copy_file(ExecutableFolder() / probeFileName, folder / name);
        fs::current_path(folder);
    }
    void TearDown() override {
        fs::current_path(previous);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    static fs::path SystemFolder() {
        wchar_t path[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        return fs::path(std::wstring(path, length));
    }
    static bool InFolder(const std::string& file, const fs::path& folder) {
        return SameTextIgnoringCase(FromUtf8(file).parent_path().wstring(), folder.wstring());
    }
    fs::path previous;
    fs::path folder;
};

TEST_F(PlatformWindowsPlanted, SystemLibrariesComeFromTheSystemFolderOnly) {
    for (const char* name : {"Avrt.dll", "hhctrl.ocx"}) {
        Platform::LibraryHandle lib = Platform::LoadSystemLibrary(name);
        ASSERT_NE(lib, nullptr) << name;
        const std::string file = Platform::ModuleFileName(lib);
        EXPECT_TRUE(InFolder(file, SystemFolder())) << name << " came from " << file;
        EXPECT_EQ(Platform::GetSymbol(lib, "ZylProbeAnswer"), nullptr)
            << "the planted " << name << " was loaded";
        Platform::FreeDynamicLibrary(lib);
    }
    // What only the working folder holds is not a system library. (Wine prefers its own copies of
    // Avrt.dll and hhctrl.ocx over planted ones anyway, so this is what shows the search there.)
    EXPECT_EQ(Platform::LoadSystemLibrary("zyl_planted_only.dll"), nullptr);
    // A path is not a system library's name.
    EXPECT_EQ(Platform::LoadSystemLibrary(Utf8(folder / "Avrt.dll")), nullptr);
    EXPECT_EQ(Platform::LoadSystemLibrary(""), nullptr);
}

TEST_F(PlatformWindowsPlanted, TheSchedulerRegistrationLoadsTheSystemsAvrt) {
    const Platform::ThreadBoost boost = Platform::LoadThreadBoost();
    const HMODULE avrt = GetModuleHandleW(L"avrt.dll");
    ASSERT_NE(avrt, nullptr);
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(avrt, path, MAX_PATH);
    EXPECT_TRUE(SameTextIgnoringCase(fs::path(std::wstring(path, length)).parent_path().wstring(),
                                     SystemFolder().wstring()));
    EXPECT_NE(boost.SetMmThreadCharacteristics, nullptr);
    Platform::ReleaseThreadBoost();
}

TEST_F(PlatformWindowsPlanted, APlainNameIsNotLookedForInTheWorkingFolder) {
    // Only the working folder holds this one: by name it is not found, by its full path it is.
    EXPECT_EQ(Platform::LoadDynamicLibrary("zyl_planted_only.dll"), nullptr);
    Platform::LibraryHandle lib = Platform::LoadDynamicLibrary(Utf8(folder / "zyl_planted_only.dll"));
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(CallProbe(lib), 42);
    Platform::FreeDynamicLibrary(lib);
}

// ---- Multimedia timer -------------------------------------------------------------------------

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

TEST(PlatformWindowsTimer, TicksEveryMillisecondWithItsIdAndUserValue) {
    TickCounter first;
    TickCounter second;
    const std::uint32_t firstId = Platform::TimeSetEvent(1, 1, &CountTick, &first);
    const std::uint32_t secondId = Platform::TimeSetEvent(1, 1, &CountTick, &second);
    ASSERT_NE(firstId, 0u);
    ASSERT_NE(secondId, 0u);
    EXPECT_NE(firstId, secondId);
    EXPECT_TRUE(WaitFor([&] { return first.ticks >= 50 && second.ticks >= 50; }));
    Platform::TimeKillEvent(firstId);
    Platform::TimeKillEvent(secondId);
    EXPECT_EQ(first.lastTimerId, firstId);
    EXPECT_EQ(first.lastUser, &first);
    EXPECT_EQ(second.lastTimerId, secondId);
    EXPECT_EQ(second.lastUser, &second);
}

TEST(PlatformWindowsTimer, KillWaitsForARunningCallbackAndStopsTheTicks) {
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

TEST(PlatformWindowsTimer, KillFromInsideTheCallbackReturnsAndStopsTheTicks) {
    static SelfKiller killer; // the timer thread may touch it until its last callback has returned
    ASSERT_NE(Platform::TimeSetEvent(1, 1, &KillOwnTimer, &killer), 0u);
    ASSERT_TRUE(WaitFor([&] { return killer.killReturned.load(); }));
    Platform::Sleep(50);
    EXPECT_EQ(killer.calls, 1);
}

TEST(PlatformWindowsTimer, RefusalsAndRepeatedKillsAreHarmless) {
    TickCounter counter;
    EXPECT_EQ(Platform::TimeSetEvent(1, 1, nullptr, nullptr), 0u);
    EXPECT_EQ(Platform::TimeSetEvent(0, 1, &CountTick, &counter), 0u);
    const std::uint32_t id = Platform::TimeSetEvent(1, 1, &CountTick, &counter);
    ASSERT_NE(id, 0u);
    Platform::TimeKillEvent(id);
    Platform::TimeKillEvent(id);
    Platform::TimeKillEvent(0);
}

TEST(PlatformWindowsTimer, CapabilitiesAllowAOneMillisecondPeriod) {
    Platform::TimeCaps caps;
    ASSERT_TRUE(Platform::TimeGetDevCaps(caps));
    EXPECT_EQ(caps.wPeriodMin, 1u);
    EXPECT_GE(caps.wPeriodMax, caps.wPeriodMin);
    Platform::TimeBeginPeriod(caps.wPeriodMin);
    Platform::TimeEndPeriod(caps.wPeriodMin);
}

// ---- Clocks -----------------------------------------------------------------------------------

TEST(PlatformWindowsClocks, AdvanceAcrossASleep) {
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

// ---- Text -------------------------------------------------------------------------------------

TEST(PlatformWindowsText, EightBitTextsUseTheRunningSystemsCodePage) {
    EXPECT_EQ(Platform::AnsiCodePage(), static_cast<std::uint32_t>(::GetACP()));
}

// ---- Avrt.DLL ---------------------------------------------------------------------------------

TEST(PlatformWindowsThreadBoost, RegistersRaisesAndRevertsAndPairsLoadsWithReleases) {
    const Platform::ThreadBoost boost = Platform::LoadThreadBoost();
    ASSERT_NE(boost.SetMmThreadCharacteristics, nullptr) << "Avrt.dll is part of every supported Windows";
    ASSERT_NE(boost.SetMmThreadPriority, nullptr);
    ASSERT_NE(boost.RevertMmThreadCharacteristics, nullptr);
    EXPECT_FALSE(boost.SetMmThreadPriority(0, 2));
    EXPECT_FALSE(boost.RevertMmThreadCharacteristics(0));

    std::uint32_t taskIndex = 0;
    const std::uintptr_t handle = boost.SetMmThreadCharacteristics(L"Pro Audio", &taskIndex);
    ASSERT_NE(handle, 0u);
    EXPECT_TRUE(boost.SetMmThreadPriority(handle, 2));
    EXPECT_TRUE(boost.RevertMmThreadCharacteristics(handle));

    // Loads and releases pair up: a second user's release leaves the first one's entry points working.
    Platform::LoadThreadBoost();
    Platform::ReleaseThreadBoost();
    const std::uintptr_t stillWorking = boost.SetMmThreadCharacteristics(L"Pro Audio", &taskIndex);
    EXPECT_NE(stillWorking, 0u);
    if (stillWorking != 0) {
        EXPECT_TRUE(boost.RevertMmThreadCharacteristics(stillWorking));
    }

    // After the last release, entry points handed out earlier fail instead of calling a released
    // library, and a release too many changes nothing.
    Platform::ReleaseThreadBoost();
    std::uint32_t unusedIndex = 0;
    EXPECT_EQ(boost.SetMmThreadCharacteristics(L"Pro Audio", &unusedIndex), 0u);
    EXPECT_FALSE(boost.RevertMmThreadCharacteristics(handle));
    Platform::ReleaseThreadBoost();

    // And a later load gives working entry points again.
    const Platform::ThreadBoost again = Platform::LoadThreadBoost();
    ASSERT_NE(again.SetMmThreadCharacteristics, nullptr);
    const std::uintptr_t second = again.SetMmThreadCharacteristics(L"Pro Audio", &taskIndex);
    EXPECT_NE(second, 0u);
    if (second != 0) {
        EXPECT_TRUE(again.RevertMmThreadCharacteristics(second));
    }
    Platform::ReleaseThreadBoost();
}

} // namespace
