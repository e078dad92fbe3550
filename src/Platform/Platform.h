// The little the operating system must give the cable layer. One header, one source file per OS
// (PlatformLinux.cpp, PlatformWindows.cpp). Nothing above this layer includes an OS header.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Platform {

// ---- Dynamic libraries ------------------------------------------------------------------------
using LibraryHandle = void*; // nullptr = not loaded

// (Names differ from the Windows calls so that <windows.h> macros never rename them.)
// Loads a library by full path or by plain file name (the system then searches its usual places).
// Paths are UTF-8. Returns nullptr on failure.
LibraryHandle LoadDynamicLibrary(const std::string& pathOrName);
// Looks a symbol up in a loaded library; nullptr when absent.
void* GetSymbol(LibraryHandle lib, const char* name);
void FreeDynamicLibrary(LibraryHandle lib);
// Full file name of a loaded library as the system reports it (UTF-8); empty when unknown.
std::string ModuleFileName(LibraryHandle lib);
// Full file name of the running executable (UTF-8).
std::string ExecutablePath();
// Loads one of the system's own libraries (e.g. "Avrt.dll") from the system folder only, so that a
// file of that name planted elsewhere (the working folder, the executable's folder) is never
// loaded. nullptr when the system has no such library.
LibraryHandle LoadSystemLibrary(const std::string& name);

// ---- Multimedia timer ---------------------------------------------------------------------------
// A periodic 1 ms timer. The callback runs on a thread of the timer's own; killing the timer is
// synchronous: once TimeKillEvent returns, no callback runs any more and none is running.
using TimerCallback = void (*)(std::uint32_t timerId, void* user);
// Returns the timer identifier, 0 when the system refused.
std::uint32_t TimeSetEvent(std::uint32_t periodMs, std::uint32_t resolutionMs, TimerCallback callback,
                           void* user);
void TimeKillEvent(std::uint32_t timerId);

struct TimeCaps {
    std::uint32_t wPeriodMin = 0;
    std::uint32_t wPeriodMax = 0;
};
// True when the capabilities could be read.
bool TimeGetDevCaps(TimeCaps& caps);
void TimeBeginPeriod(std::uint32_t periodMs);
void TimeEndPeriod(std::uint32_t periodMs);

// ---- Clocks -------------------------------------------------------------------------------------
// Milliseconds since an arbitrary start; wraps at 2^32 like timeGetTime.
std::uint32_t TimeGetTime();
bool QueryPerformanceFrequency(std::int64_t& countsPerSecond);
bool QueryPerformanceCounter(std::int64_t& counts);
void Sleep(std::uint32_t ms);

// ---- Text ---------------------------------------------------------------------------------------
// The code page of the system's 8-bit texts: GetACP on Windows; 1252 (Windows-1252) elsewhere,
// where fixture texts are read as the Windows PCs that set fixtures up mostly write them.
std::uint32_t AnsiCodePage();
// The system's own conversion of 8-bit text in a code page to UTF-8 and back, where the system has
// one (Windows); nothing elsewhere, or for a code page the system does not know. `CodePage` 0 is
// the system's ANSI code page. A zero byte stays a zero character. Characters that the code page
// lacks become '?', never a look-alike.
std::optional<std::string> CodePageToUtf8(std::uint32_t CodePage, std::string_view Bytes);
std::optional<std::string> Utf8ToCodePage(std::uint32_t CodePage, std::string_view Utf8);

// ---- Real-time scheduling of the calling thread (Avrt.DLL on Windows, SCHED_FIFO on Linux) ------
// The three entry points as the cable layer sees them; each is "absent" (Available() false) when
// the system cannot offer it, as when Avrt.DLL is missing.
struct ThreadBoost {
    // Registers the calling thread for the task (e.g. "Pro Audio"); returns a non-zero handle on
    // success and fills taskIndex.
    std::uintptr_t (*SetMmThreadCharacteristics)(const wchar_t* task, std::uint32_t* taskIndex) = nullptr;
    // Sets the priority of a registered thread (2 = critical); true on success.
    bool (*SetMmThreadPriority)(std::uintptr_t handle, int priority) = nullptr;
    // Reverts a registration; true on success.
    bool (*RevertMmThreadCharacteristics)(std::uintptr_t handle) = nullptr;
};
// Loads the scheduling support (Avrt.DLL on Windows) and returns its entry points; members are
// nullptr where the system offers nothing. ReleaseThreadBoost undoes the load.
ThreadBoost LoadThreadBoost();
void ReleaseThreadBoost();

// ---- What the window needs of the system -------------------------------------------------------
// True where a touch button must have a window handle of its own to receive the system's touch
// query (Windows); elsewhere touches arrive as the toolkit's touch events.
bool TouchQueryNeedsOwnWindow();
// Answers the system's press-and-hold query for a touch on a button (Windows:
// WM_TABLET_QUERYSYSTEMGESTURESTATUS): the button is sent a left-button press at once, with the
// query's parameters unchanged, and `result` becomes 1, which turns press-and-hold off for the
// touch. `eventType` and `message` are what the toolkit hands a window's native-event hook. Returns
// false, leaving `result` alone, for every other message and on systems without such a query.
bool AnswerTouchPressQuery(const char* eventType, void* message, std::intptr_t* result);
// Asks the system's HTML help viewer (Windows: HtmlHelpW of hhctrl.ocx) to show `topic` of the
// compiled help file `helpFile` (UTF-8 paths), owned by the window `ownerWindow`. Returns false
// where the system has no such viewer; the viewer reports its own failures.
bool ShowHtmlHelpTopic(std::uintptr_t ownerWindow, const std::string& helpFile, const std::string& topic);

} // namespace Platform
