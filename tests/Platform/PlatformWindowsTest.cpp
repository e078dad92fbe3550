// What the Windows platform layer adds to the promises of PlatformTest.cpp: UTF-8 paths in and out of
// LoadLibraryW / GetModuleFileNameW, the executable's folder searched for plain names, libraries
// planted in the working folder never loaded, the system's code page, and Avrt.DLL's loads and
// releases.
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
#include <cwctype>
#include <filesystem>
#include <ostream>
#include <string>

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

// ---- Executable and libraries -----------------------------------------------------------------

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

TEST(PlatformWindowsLibrary, PlainNameIsFoundBesideTheExecutable) {
    Platform::LibraryHandle probe = Platform::LoadDynamicLibrary(probeFileName);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(CallProbe(probe), 42);
    EXPECT_TRUE(SameTextIgnoringCase(FromUtf8(Platform::ModuleFileName(probe)).wstring(),
                                     (ExecutableFolder() / probeFileName).wstring()));
    Platform::FreeDynamicLibrary(probe);
}

TEST(PlatformWindowsLibrary, NonUtf8NameAndUnknownEntryPointGiveNothing) {
    // Not UTF-8: must not be read as some other name and load that.
    EXPECT_EQ(Platform::LoadDynamicLibrary(std::string("zyl_platform_probe\xff.dll")), nullptr);

    Platform::LibraryHandle probe = Platform::LoadDynamicLibrary(probeFileName);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(Platform::GetSymbol(probe, "NoSuchEntryPoint"), nullptr);
    Platform::FreeDynamicLibrary(probe);
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

// ---- Text -------------------------------------------------------------------------------------

TEST(PlatformWindowsText, EightBitTextsUseTheRunningSystemsCodePage) {
    EXPECT_EQ(Platform::AnsiCodePage(), static_cast<std::uint32_t>(::GetACP()));
    const std::string_view Bytes("L\x80\xE9", 3);
    EXPECT_EQ(Platform::CodePageToUtf8(0, Bytes), Platform::CodePageToUtf8(::GetACP(), Bytes));
}

// The system converts any code page it knows, as a Czech, Russian, Greek or Japanese Windows has it;
// bytes 0x80-0x9F are letters there, not control characters.
TEST(PlatformWindowsText, TheSystemConvertsEachCodePage) {
    const struct {
        const char* name;
        std::uint32_t codePage;
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {"Windows-1250 (Central European)", 1250, "\x8A\x9A\xE8", "\u0160\u0161\u010D"},
        {"Windows-1251 (Cyrillic)", 1251, "\x80\xC0\xFF", "\u0402\u0410\u044F"},
        {"Windows-1252 (Western)", 1252, "\x80\x8A\xE9", "\u20AC\u0160\u00E9"},
        {"Windows-1253 (Greek)", 1253, "\xC1\xE1", "\u0391\u03B1"},
        {"Shift JIS, double-byte", 932, "A\x82\xA0", "A\u3042"},
        {"a zero byte stays", 1251, std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Platform::CodePageToUtf8(c.codePage, c.bytes), c.utf8);
        EXPECT_EQ(Platform::Utf8ToCodePage(c.codePage, c.utf8), c.bytes);
    }
    // A character the code page lacks goes as '?', not as a look-alike (no best fit: \u0100 is no 'A').
    EXPECT_EQ(Platform::Utf8ToCodePage(1251, "\u0100\u00E9x"), "??x");
    EXPECT_EQ(Platform::CodePageToUtf8(4242, "a"), std::nullopt) << "an unknown code page";
}

// ---- Avrt.DLL ---------------------------------------------------------------------------------

TEST(PlatformWindowsThreadBoost, LoadsAndReleasesPairUp) {
    const Platform::ThreadBoost boost = Platform::LoadThreadBoost();
    ASSERT_NE(boost.SetMmThreadCharacteristics, nullptr) << "Avrt.dll is part of every supported Windows";
    // Windows always grants the registration (PlatformTest.cpp skips where a system refuses it).
    std::uint32_t taskIndex = 0;
    const std::uintptr_t handle = boost.SetMmThreadCharacteristics(L"Pro Audio", &taskIndex);
    ASSERT_NE(handle, 0u);
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
