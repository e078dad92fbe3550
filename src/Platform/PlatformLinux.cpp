// Linux side of Platform.h: dlopen for libraries, /proc/self/exe, one thread for all periodic timers
// ticking on absolute CLOCK_MONOTONIC deadlines, and SCHED_FIFO for the real-time registration.
#include "Platform.h"

#include <dlfcn.h>
#include <link.h>
#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace Platform {

// ---- Dynamic libraries ------------------------------------------------------------------------

LibraryHandle LoadDynamicLibrary(const std::string& pathOrName) {
    if (pathOrName.empty())
        return nullptr; // dlopen("") would hand back the executable itself
    return dlopen(pathOrName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* GetSymbol(LibraryHandle lib, const char* name) {
    if (lib == nullptr || name == nullptr)
        return nullptr;
    return dlsym(lib, name);
}

void FreeDynamicLibrary(LibraryHandle lib) {
    if (lib != nullptr)
        dlclose(lib);
}

std::string ModuleFileName(LibraryHandle lib) {
    if (lib == nullptr)
        return {};
    link_map* map = nullptr;
    if (dlinfo(lib, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr)
        return {};
    return map->l_name; // the file the loader actually mapped, after its search
}

LibraryHandle LoadSystemLibrary(const std::string& name) {
    // The loader searches no working folder on Linux; a plain name finds the system's copy.
    if (name.empty() || name.find('/') != std::string::npos)
        return nullptr;
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

std::string ExecutablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2); // the link may have been cut short: ask again with more room
    }
}

// ---- Multimedia timer ---------------------------------------------------------------------------

namespace {

constexpr long NanosPerMilli = 1'000'000;
constexpr long NanosPerSecond = 1'000'000'000;

void AddNanos(timespec& t, long nanos) {
    t.tv_nsec += nanos;
    while (t.tv_nsec >= NanosPerSecond) {
        t.tv_nsec -= NanosPerSecond;
        ++t.tv_sec;
    }
}

bool Before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

struct PeriodicTimer {
    long periodNanos = NanosPerMilli;
    TimerCallback callback = nullptr;
    void* user = nullptr;
    timespec next{};
};

// One thread runs every timer of the process, as the system timer thread does on Windows: what a
// callback leaves with its thread (a real-time registration) is there for the next timer too.
struct TimerThread {
    std::mutex lock;
    std::condition_variable changed;
    std::map<std::uint32_t, PeriodicTimer> timers;
    std::uint32_t lastId = 0;
    std::uint32_t running = 0; // the timer whose callback runs now; 0 between callbacks
    std::thread thread;        // started with the first timer, runs until the process ends
};

// Never destroyed: the thread runs until the process exits and must not find its state gone, and
// a joinable std::thread destroyed at exit would terminate the process.
TimerThread& Timers() {
    static TimerThread* timers = new TimerThread;
    return *timers;
}

timespec MonotonicTime() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

// Runs the callbacks that are due, in the order of their ids; the lock is released around each one,
// so a callback may set or kill timers, its own included.
void RunDueTimers(TimerThread& timers, std::unique_lock<std::mutex>& held) {
    const timespec now = MonotonicTime();
    std::uint32_t after = 0;
    for (;;) {
        auto it = timers.timers.upper_bound(after);
        while (it != timers.timers.end() && Before(now, it->second.next))
            ++it;
        if (it == timers.timers.end())
            return;
        const std::uint32_t id = it->first;
        const PeriodicTimer timer = it->second;
        AddNanos(it->second.next, timer.periodNanos);
        timers.running = id;
        held.unlock();
        timer.callback(id, timer.user);
        held.lock();
        timers.running = 0;
        timers.changed.notify_all();
        // A callback that overran a period does not cause a burst of catch-up ticks: the schedule
        // restarts from now.
        if (auto still = timers.timers.find(id); still != timers.timers.end()) {
            const timespec end = MonotonicTime();
            if (Before(still->second.next, end)) {
                still->second.next = end;
                AddNanos(still->second.next, still->second.periodNanos);
            }
        }
        after = id;
    }
}

[[noreturn]] void RunTimerThread(TimerThread& timers) {
    std::unique_lock<std::mutex> held(timers.lock);
    for (;;) {
        timers.changed.wait(held, [&] { return !timers.timers.empty(); });
        // Sleeps to the earliest deadline, at most one period of the finest timer, so a timer set
        // meanwhile starts on time.
        timespec wake = MonotonicTime();
        AddNanos(wake, NanosPerMilli);
        for (const auto& [id, timer] : timers.timers)
            if (Before(timer.next, wake))
                wake = timer.next;
        held.unlock();
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
        }
        held.lock();
        RunDueTimers(timers, held);
    }
}

} // namespace

std::uint32_t TimeSetEvent(std::uint32_t periodMs, std::uint32_t /*resolutionMs*/, TimerCallback callback,
                           void* user) {
    if (periodMs == 0 || callback == nullptr)
        return 0;
    PeriodicTimer timer;
    timer.periodNanos = static_cast<long>(periodMs) * NanosPerMilli;
    timer.callback = callback;
    timer.user = user;
    timer.next = MonotonicTime();
    AddNanos(timer.next, timer.periodNanos);

    TimerThread& timers = Timers();
    std::lock_guard<std::mutex> guard(timers.lock);
    if (!timers.thread.joinable()) {
        try {
            timers.thread = std::thread(RunTimerThread, std::ref(timers));
        } catch (const std::system_error&) {
            return 0; // no thread to be had: the system refused, as timeSetEvent may
        }
    }
    std::uint32_t id = timers.lastId;
    do {
        ++id;
    } while (id == 0 || timers.timers.count(id) != 0);
    timers.lastId = id;
    timers.timers.emplace(id, timer);
    timers.changed.notify_all();
    return id;
}

void TimeKillEvent(std::uint32_t timerId) {
    TimerThread& timers = Timers();
    std::unique_lock<std::mutex> held(timers.lock);
    if (timers.timers.erase(timerId) == 0)
        return;
    // From inside a callback the timer thread is this thread: waiting would never end, and no
    // other callback can be running.
    if (timers.thread.get_id() == std::this_thread::get_id())
        return;
    timers.changed.wait(held, [&] { return timers.running != timerId; });
}

bool TimeGetDevCaps(TimeCaps& caps) {
    // The thread sleeps on absolute deadlines with nanosecond requests; 1 ms is the finest period
    // the timer offers.
    caps.wPeriodMin = 1;
    caps.wPeriodMax = 1000000;
    return true;
}

// The kernel's timers need no raised resolution; the calls are kept so callers pair them as on
// Windows.
void TimeBeginPeriod(std::uint32_t /*periodMs*/) {}
void TimeEndPeriod(std::uint32_t /*periodMs*/) {}

// ---- Clocks -------------------------------------------------------------------------------------

namespace {
std::int64_t MonotonicNanos() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * NanosPerSecond + now.tv_nsec;
}
} // namespace

std::uint32_t TimeGetTime() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(MonotonicNanos() / NanosPerMilli));
}

bool QueryPerformanceFrequency(std::int64_t& countsPerSecond) {
    countsPerSecond = NanosPerSecond;
    return true;
}

bool QueryPerformanceCounter(std::int64_t& counts) {
    counts = MonotonicNanos();
    return true;
}

void Sleep(std::uint32_t ms) {
    timespec request{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * NanosPerMilli};
    timespec remaining{};
    while (nanosleep(&request, &remaining) == -1 && errno == EINTR)
        request = remaining;
}

// ---- Text ---------------------------------------------------------------------------------------

// Byte n is U+00nn: a text read from a fixture comes back unchanged when written.
std::uint32_t AnsiCodePage() {
    return 1252;
}

std::optional<std::string> CodePageToUtf8(std::uint32_t, std::string_view) {
    return std::nullopt;
}

std::optional<std::string> Utf8ToCodePage(std::uint32_t, std::string_view) {
    return std::nullopt;
}

// ---- Real-time scheduling -----------------------------------------------------------------------

namespace {

// A registration belongs to the thread that made it; these remember what to restore.
struct Registration {
    std::uintptr_t handle = 0;
    int policy = SCHED_OTHER;
    sched_param param{};
};
thread_local Registration threadRegistration;
std::atomic<std::uintptr_t> lastRegistrationHandle{0};

// FIFO priority of a registered thread: a little above the lowest, so it preempts ordinary threads
// without competing with the system's own real-time work.
constexpr int RegisteredPriorityOffset = 10;

int FifoPriority(int offset) {
    const int lowest = sched_get_priority_min(SCHED_FIFO);
    const int highest = sched_get_priority_max(SCHED_FIFO);
    const int wanted = lowest + RegisteredPriorityOffset + offset;
    return wanted < lowest ? lowest : (wanted > highest ? highest : wanted);
}

std::uintptr_t LinuxSetMmThreadCharacteristics(const wchar_t* /*task*/, std::uint32_t* taskIndex) {
    Registration& reg = threadRegistration;
    if (reg.handle == 0) {
        Registration saved;
        if (pthread_getschedparam(pthread_self(), &saved.policy, &saved.param) != 0)
            return 0;
        sched_param fifo{};
        fifo.sched_priority = FifoPriority(0);
        if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) != 0)
            return 0; // not permitted for this process: the registration fails
        std::uintptr_t handle = 0;
        do {
            handle = ++lastRegistrationHandle;
        } while (handle == 0);
        saved.handle = handle;
        reg = saved;
    }
    if (taskIndex != nullptr)
        *taskIndex = static_cast<std::uint32_t>(reg.handle);
    return reg.handle;
}

bool LinuxSetMmThreadPriority(std::uintptr_t handle, int priority) {
    if (handle == 0 || handle != threadRegistration.handle)
        return false;
    sched_param fifo{};
    fifo.sched_priority = FifoPriority(priority);
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) == 0;
}

bool LinuxRevertMmThreadCharacteristics(std::uintptr_t handle) {
    Registration& reg = threadRegistration;
    if (handle == 0 || handle != reg.handle)
        return false;
    if (pthread_setschedparam(pthread_self(), reg.policy, &reg.param) != 0)
        return false;
    reg = Registration{};
    return true;
}

} // namespace

ThreadBoost LoadThreadBoost() {
    ThreadBoost boost;
    boost.SetMmThreadCharacteristics = LinuxSetMmThreadCharacteristics;
    boost.SetMmThreadPriority = LinuxSetMmThreadPriority;
    boost.RevertMmThreadCharacteristics = LinuxRevertMmThreadCharacteristics;
    return boost;
}

void ReleaseThreadBoost() {}

// ---- What the window needs of the system -------------------------------------------------------

// Touches reach the window as the toolkit's touch events; there is no press-and-hold query.
bool TouchQueryNeedsOwnWindow() {
    return false;
}

bool AnswerTouchPressQuery(const char* /*eventType*/, void* /*message*/, std::intptr_t* /*result*/) {
    return false;
}

// No system HTML help viewer: the window shows the help file with a viewer of its own.
bool ShowHtmlHelpTopic(std::uintptr_t /*ownerWindow*/, const std::string& /*helpFile*/,
                       const std::string& /*topic*/) {
    return false;
}

} // namespace Platform
