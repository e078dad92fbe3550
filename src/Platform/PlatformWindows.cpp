// Windows side of Platform.h: the real Win32 calls (LoadLibraryW, timeSetEvent,
// QueryPerformanceCounter, Avrt.DLL, ...). Paths cross this boundary as UTF-8 and reach the
// system as UTF-16.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <mmsystem.h> // needs windows.h first

#include "Platform.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace Platform {

namespace {

// ---- UTF-8 <-> UTF-16 ---------------------------------------------------------------------------

// 8-bit text in a code page as UTF-16; empty optional when the system cannot convert it.
std::optional<std::wstring> MultiByteToWide(UINT codePage, DWORD flags, std::string_view text) {
    if (text.empty())
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (needed <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    if (::MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), needed) != needed)
        return std::nullopt;
    return wide;
}

// Empty optional when the text is not valid UTF-8: a mangled path must never be loaded instead.
std::optional<std::wstring> Utf8ToWide(const std::string& text) {
    return MultiByteToWide(CP_UTF8, MB_ERR_INVALID_CHARS, text);
}

std::string WideToUtf8(const wchar_t* text, std::size_t length) {
    if (length == 0)
        return std::string();
    const int size = static_cast<int>(length);
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::string();
    std::string utf8(static_cast<std::size_t>(needed), '\0');
    if (::WideCharToMultiByte(CP_UTF8, 0, text, size, utf8.data(), needed, nullptr, nullptr) != needed)
        return std::string();
    return utf8;
}

// GetModuleFileNameW cuts a name that does not fit and says so only through the returned length;
// grow the buffer until the whole name fits, so a deep install folder is never reported truncated.
std::string ModulePath(HMODULE module) {
    constexpr DWORD longestPath = 32768; // the longest path Windows can express, in UTF-16 units
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(buffer.size());
        const DWORD length = ::GetModuleFileNameW(module, buffer.data(), capacity);
        if (length == 0)
            return std::string();
        if (length < capacity)
            return WideToUtf8(buffer.data(), length);
        if (capacity >= longestPath)
            return std::string();
        buffer.resize(std::min<std::size_t>(buffer.size() * 2, longestPath));
    }
}

// The folders of PATH that name a folder by themselves; a relative entry ("." or "bin") would mean
// a folder below the working folder.
std::vector<std::wstring> AbsolutePathFolders() {
    std::vector<std::wstring> folders;
    const DWORD size = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (size == 0)
        return folders;
    std::wstring path(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(L"PATH", path.data(), size);
    path.resize(length < size ? length : 0);
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(L';', start), path.size());
        std::wstring folder = path.substr(start, end - start);
        if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"')
            folder = folder.substr(1, folder.size() - 2);
        const bool drive =
            folder.size() >= 3 && folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/');
        const bool share = folder.size() >= 2 && folder[0] == L'\\' && folder[1] == L'\\';
        if (drive || share)
            folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

template <typename Function> Function LookUp(HMODULE module, const char* name) {
    const FARPROC address = ::GetProcAddress(module, name);
    Function function = nullptr;
    static_assert(sizeof(function) == sizeof(address));
    std::memcpy(&function, &address, sizeof(function));
    return function;
}

// ---- Multimedia timer ----------------------------------------------------------------------------

// timeSetEvent hands its callback one user value; the caller's callback and user pointer travel
// together in a binding that lives until the timer is killed.
struct TimerBinding {
    TimerCallback callback;
    void* user;
};

struct TimerBindings {
    std::mutex lock;
    std::map<UINT, std::unique_ptr<TimerBinding>> byTimerId;
};

// Never destroyed: a timer may still be killed by another unit's teardown at process exit.
TimerBindings& Timers() {
    static auto* timers = new TimerBindings;
    return *timers;
}

void CALLBACK TimerTrampoline(UINT timerId, UINT /*message*/, DWORD_PTR user, DWORD_PTR /*reserved1*/,
                              DWORD_PTR /*reserved2*/) {
    const auto* binding = reinterpret_cast<const TimerBinding*>(user);
    binding->callback(timerId, binding->user);
}

// ---- Avrt.DLL ------------------------------------------------------------------------------------

using AvSetMmThreadCharacteristicsWFn = HANDLE(WINAPI*)(LPCWSTR, LPDWORD);
using AvSetMmThreadPriorityFn = BOOL(WINAPI*)(HANDLE, int);
using AvRevertMmThreadCharacteristicsFn = BOOL(WINAPI*)(HANDLE);

// Never destroyed, like the timer bindings: the cable layer releases Avrt.DLL at its own teardown.
std::mutex& AvrtLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
HMODULE avrtModule = nullptr;
// Loads and releases pair up like LoadLibrary/FreeLibrary: one user's release must not take the
// entry points away from another user (a test asking whether registration is possible, say).
int avrtLoads = 0;
// Read by the timer thread through the adapters below, written under AvrtLock().
std::atomic<AvSetMmThreadCharacteristicsWFn> avSetCharacteristics{nullptr};
std::atomic<AvSetMmThreadPriorityFn> avSetPriority{nullptr};
std::atomic<AvRevertMmThreadCharacteristicsFn> avRevertCharacteristics{nullptr};

std::uintptr_t SetCharacteristicsAdapter(const wchar_t* task, std::uint32_t* taskIndex) {
    const auto function = avSetCharacteristics.load();
    if (function == nullptr)
        return 0;
    DWORD index = taskIndex != nullptr ? *taskIndex : 0;
    const HANDLE handle = function(task, &index);
    if (taskIndex != nullptr)
        *taskIndex = index;
    return reinterpret_cast<std::uintptr_t>(handle);
}

bool SetPriorityAdapter(std::uintptr_t handle, int priority) {
    const auto function = avSetPriority.load();
    return handle != 0 && function != nullptr &&
           function(reinterpret_cast<HANDLE>(handle), priority) != FALSE;
}

bool RevertCharacteristicsAdapter(std::uintptr_t handle) {
    const auto function = avRevertCharacteristics.load();
    return handle != 0 && function != nullptr && function(reinterpret_cast<HANDLE>(handle)) != FALSE;
}

} // namespace

// ---- Dynamic libraries --------------------------------------------------------------------------

LibraryHandle LoadDynamicLibrary(const std::string& pathOrName) {
    const auto wide = Utf8ToWide(pathOrName);
    if (!wide || wide->empty())
        return nullptr;
    // The working folder is no place to look for code: whoever can write there (a folder the user
    // opened a file from, a download folder) could plant a library. An empty DLL directory takes it
    // out of the search for the libraries a loaded library needs in turn.
    static const bool workingFolderExcluded = ::SetDllDirectoryW(L"") != FALSE;
    (void)workingFolderExcluded;
    if (wide->find_first_of(L"\\/:") != std::wstring::npos)
        return ::LoadLibraryW(wide->c_str());
    // A plain name is looked for where Windows looks, without the working folder: the
    // executable's folder and the system folder, then each absolute folder of PATH in turn.
    if (HMODULE module = ::LoadLibraryExW(wide->c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
        return module;
    for (const std::wstring& folder : AbsolutePathFolders()) {
        const std::wstring file = folder + (folder.back() == L'\\' ? L"" : L"\\") + *wide;
        if (::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        if (HMODULE module = ::LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH))
            return module;
    }
    return nullptr;
}

LibraryHandle LoadSystemLibrary(const std::string& name) {
    const auto wide = Utf8ToWide(name);
    if (!wide || wide->empty() || wide->find_first_of(L"\\/:") != std::wstring::npos)
        return nullptr;
    return ::LoadLibraryExW(wide->c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void* GetSymbol(LibraryHandle lib, const char* name) {
    if (lib == nullptr || name == nullptr)
        return nullptr;
    return LookUp<void*>(static_cast<HMODULE>(lib), name);
}

void FreeDynamicLibrary(LibraryHandle lib) {
    if (lib != nullptr)
        ::FreeLibrary(static_cast<HMODULE>(lib));
}

std::string ModuleFileName(LibraryHandle lib) {
    // A null module would mean the executable to Windows; here it means "nothing loaded".
    if (lib == nullptr)
        return std::string();
    return ModulePath(static_cast<HMODULE>(lib));
}

std::string ExecutablePath() {
    return ModulePath(nullptr);
}

// ---- Multimedia timer ---------------------------------------------------------------------------

std::uint32_t TimeSetEvent(std::uint32_t periodMs, std::uint32_t resolutionMs, TimerCallback callback,
                           void* user) {
    // A zero period would be a busy loop on the timer thread; refuse it as the other systems do.
    if (callback == nullptr || periodMs == 0)
        return 0;
    auto binding = std::make_unique<TimerBinding>(TimerBinding{callback, user});
    // The first tick may come before timeSetEvent returns; it finds its binding through the user
    // value, so the map is needed only for cleaning up. Holding the lock keeps TimeKillEvent of
    // this id from running before the binding is filed.
    auto& timers = Timers();
    std::lock_guard<std::mutex> guard(timers.lock);
    const UINT timerId =
        ::timeSetEvent(periodMs, resolutionMs, &TimerTrampoline, reinterpret_cast<DWORD_PTR>(binding.get()),
                       TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
    if (timerId == 0)
        return 0;
    timers.byTimerId[timerId] = std::move(binding);
    return timerId;
}

void TimeKillEvent(std::uint32_t timerId) {
    if (timerId == 0)
        return;
    // With TIME_KILL_SYNCHRONOUS, timeKillEvent returns only when no callback of this timer runs
    // any more; only then may its binding go.
    if (::timeKillEvent(timerId) != TIMERR_NOERROR)
        return;
    auto& timers = Timers();
    std::lock_guard<std::mutex> guard(timers.lock);
    timers.byTimerId.erase(timerId);
}

bool TimeGetDevCaps(TimeCaps& caps) {
    TIMECAPS systemCaps{};
    if (::timeGetDevCaps(&systemCaps, sizeof(systemCaps)) != TIMERR_NOERROR)
        return false;
    caps.wPeriodMin = systemCaps.wPeriodMin;
    caps.wPeriodMax = systemCaps.wPeriodMax;
    return true;
}

void TimeBeginPeriod(std::uint32_t periodMs) {
    ::timeBeginPeriod(periodMs);
}

void TimeEndPeriod(std::uint32_t periodMs) {
    ::timeEndPeriod(periodMs);
}

// ---- Clocks -------------------------------------------------------------------------------------

std::uint32_t TimeGetTime() {
    return ::timeGetTime();
}

bool QueryPerformanceFrequency(std::int64_t& countsPerSecond) {
    LARGE_INTEGER frequency{};
    if (!::QueryPerformanceFrequency(&frequency))
        return false;
    countsPerSecond = frequency.QuadPart;
    return true;
}

bool QueryPerformanceCounter(std::int64_t& counts) {
    LARGE_INTEGER now{};
    if (!::QueryPerformanceCounter(&now))
        return false;
    counts = now.QuadPart;
    return true;
}

void Sleep(std::uint32_t ms) {
    ::Sleep(ms);
}

// ---- Text ---------------------------------------------------------------------------------------

std::uint32_t AnsiCodePage() {
    return ::GetACP();
}

std::optional<std::string> CodePageToUtf8(std::uint32_t CodePage, std::string_view Bytes) {
    const auto wide = MultiByteToWide(CodePage, 0, Bytes);
    if (!wide)
        return std::nullopt;
    return WideToUtf8(wide->data(), wide->size());
}

std::optional<std::string> Utf8ToCodePage(std::uint32_t CodePage, std::string_view Utf8) {
    if (Utf8.empty())
        return std::string();
    // Malformed UTF-8 becomes U+FFFD here, which no 8-bit code page has: '?' below.
    const auto converted = MultiByteToWide(CP_UTF8, 0, Utf8);
    if (!converted)
        return std::nullopt;
    const std::wstring& wide = *converted;
    const int wideNeeded = static_cast<int>(wide.size());
    // No best fit: a character the code page lacks must not go to the fixture as a look-alike.
    // A few code pages refuse that flag and the default character; they convert without them.
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    const char question[] = "?";
    const char* fallback = question;
    int needed =
        ::WideCharToMultiByte(CodePage, flags, wide.data(), wideNeeded, nullptr, 0, fallback, nullptr);
    if (needed <= 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        fallback = nullptr;
        needed =
            ::WideCharToMultiByte(CodePage, flags, wide.data(), wideNeeded, nullptr, 0, nullptr, nullptr);
    }
    if (needed <= 0)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    if (::WideCharToMultiByte(CodePage, flags, wide.data(), wideNeeded, bytes.data(), needed, fallback,
                              nullptr) != needed)
        return std::nullopt;
    return bytes;
}

// ---- Real-time scheduling -----------------------------------------------------------------------

ThreadBoost LoadThreadBoost() {
    std::lock_guard<std::mutex> guard(AvrtLock());
    ++avrtLoads;
    if (avrtModule == nullptr) {
        avrtModule = static_cast<HMODULE>(LoadSystemLibrary("Avrt.dll"));
        if (avrtModule != nullptr) {
            avSetCharacteristics =
                LookUp<AvSetMmThreadCharacteristicsWFn>(avrtModule, "AvSetMmThreadCharacteristicsW");
            avSetPriority = LookUp<AvSetMmThreadPriorityFn>(avrtModule, "AvSetMmThreadPriority");
            avRevertCharacteristics =
                LookUp<AvRevertMmThreadCharacteristicsFn>(avrtModule, "AvRevertMmThreadCharacteristics");
        }
    }
    ThreadBoost boost;
    if (avSetCharacteristics.load() != nullptr)
        boost.SetMmThreadCharacteristics = &SetCharacteristicsAdapter;
    if (avSetPriority.load() != nullptr)
        boost.SetMmThreadPriority = &SetPriorityAdapter;
    if (avRevertCharacteristics.load() != nullptr)
        boost.RevertMmThreadCharacteristics = &RevertCharacteristicsAdapter;
    return boost;
}

void ReleaseThreadBoost() {
    std::lock_guard<std::mutex> guard(AvrtLock());
    if (avrtLoads == 0)
        return;
    if (--avrtLoads > 0 || avrtModule == nullptr)
        return;
    // Adapters handed out earlier report failure from now on instead of calling into a released
    // library; the last user releases only after its timer, the one caller of them, is killed.
    avSetCharacteristics = nullptr;
    avSetPriority = nullptr;
    avRevertCharacteristics = nullptr;
    ::FreeLibrary(std::exchange(avrtModule, nullptr));
}

// ---- What the window needs of the system -------------------------------------------------------

// The touch query is sent to a window handle, so each touch button needs one of its own.
bool TouchQueryNeedsOwnWindow() {
    return true;
}

bool AnswerTouchPressQuery(const char* eventType, void* message, std::intptr_t* result) {
    constexpr UINT WM_TABLET_QUERYSYSTEMGESTURESTATUS = 0x02CC;
    if (eventType == nullptr || message == nullptr || result == nullptr)
        return false;
    if (std::strcmp(eventType, "windows_generic_MSG") != 0)
        return false;
    const auto* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_TABLET_QUERYSYSTEMGESTURESTATUS)
        return false;
    // Press at once instead of waiting for press-and-hold; the answer 1 turns that off.
    ::SendMessageW(msg->hwnd, WM_LBUTTONDOWN, msg->wParam, msg->lParam);
    *result = 1;
    return true;
}

bool ShowHtmlHelpTopic(std::uintptr_t ownerWindow, const std::string& helpFile, const std::string& topic) {
    // The HTML help viewer is bound at run time, from the system folder only, and kept for the
    // process's life (its windows live on after the call). HH_DISPLAY_TOPIC is 0.
    using HtmlHelpWFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    static const HtmlHelpWFn htmlHelp = [] {
        const auto module = static_cast<HMODULE>(LoadSystemLibrary("hhctrl.ocx"));
        return module != nullptr ? LookUp<HtmlHelpWFn>(module, "HtmlHelpW") : nullptr;
    }();
    if (htmlHelp == nullptr)
        return false;
    const auto target = Utf8ToWide(helpFile + "::/" + topic + ".htm");
    if (!target)
        return false;
    htmlHelp(reinterpret_cast<HWND>(ownerWindow), target->c_str(), 0, 0);
    return true;
}

} // namespace Platform
