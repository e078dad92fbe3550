// Soak run on the virtual cable: 10,000 polls and 100 write sequences as the fixture loop sends
// them (without the waits between the writes), then 100 connection rebuilds as the bootstrap does
// them, with memory and handle figures taken after a warm-up and at the end. Meant for the fuzz
// build, where LeakSanitizer checks the process at exit.
//
//   fuzz_soak            exit status 0 when every transaction succeeded and nothing grew
#include "FTD2XXWrapper.h"
#include "RDM_Lib.h"
#include "SessionTimings.h"
#include "ToolRequests.h"
#include "VirtualCable.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZYL_SOAK_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZYL_SOAK_ASAN 1
#endif

#if defined(ZYL_SOAK_ASAN)
#include <sanitizer/allocator_interface.h>
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

constexpr int kCable = 0;
constexpr int kFixture = 0;
constexpr int kPolls = 10000;
constexpr int kWriteSequences = 100;
constexpr int kRebuilds = 100;
constexpr int kCaptureClearEvery = 1000; // the capture is a test aid of the cable; keep it small
// Heap a phase may end with beyond what it began with without counting as growth. Kept below
// what one small block kept per write sequence or per rebuild would add up to over a phase.
constexpr long long kHeapToleranceBytes = 1024;

struct Figures {
    long long rssKiB = -1;
    long long heapBytes = -1;
    long long threads = -1;
    long long openFiles = -1;
    int cableHandles = -1;
};

long long StatusField(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t len = std::strlen(name);
    while (std::getline(status, line))
        if (line.compare(0, len, name) == 0 && line.size() > len && line[len] == ':')
            return std::stoll(line.substr(len + 1));
    return -1;
}

long long HeapInUse() {
#if defined(ZYL_SOAK_ASAN)
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__)
    return static_cast<long long>(mallinfo2().uordblks);
#else
    return -1;
#endif
}

long long OpenFiles() {
    std::error_code error;
    long long count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++count;
    return error ? -1 : count;
}

Figures Measure() {
    VC_CaptureClear();
    return Figures{StatusField("VmRSS"), HeapInUse(), StatusField("Threads"), OpenFiles(),
                   VC_OpenHandleCount()};
}

// A wrapper as the bootstrap leaves it: bound, cable 0 open, background refresh off.
std::unique_ptr<TFTD2XXWrapper> Connect() {
    auto wrapper = std::make_unique<TFTD2XXWrapper>();
    wrapper->Initialize();
    wrapper->ScanDevices();
    if (wrapper->DeviceCount() == 0 || !wrapper->OpenAvailableInterfaceByIndex(kCable))
        return nullptr;
    wrapper->SetDMXStreamDisabled(true);
    return wrapper;
}

// One discovery attempt as the fixture loop makes it.
bool Discover(TFTD2XXWrapper& wrapper, TUID& uid) {
    const auto unMute = BuildUnMuteAll();
    wrapper.SendRDMCommand(kCable, &unMute->CommandData(), unMute->MessageLength() + 2, false);
    return wrapper.DiscoveryCommand(kCable, *BuildDiscoveryOfAll(), uid,
                                    SessionTimings::DiscoveryReplyWindowMs);
}

// One request with its reply, judged the way the fixture loop judges it.
bool Transact(TFTD2XXWrapper& wrapper, const TRDMCommand& command) {
    auto reply = std::make_unique<TRDMResponseData>();
    if (!wrapper.RDMCommandWithResponse(kCable, command, *reply, SessionTimings::ReplyTimeoutMs))
        return false;
    CheckRDMResponse(command, *reply, SessionTimings::ReplyTimeoutMs);
    return reply->ErrorCode == RDM_ERR_NONE;
}

int Polls(TFTD2XXWrapper& wrapper, const TUID& uid, int count) {
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        if (!Transact(wrapper, *BuildToolRequest(ToolRequestNamed("poll"), uid)))
            ++failed;
        if ((i + 1) % kCaptureClearEvery == 0)
            VC_CaptureClear();
    }
    return failed;
}

// The three SETs of a write sequence, with values that change from one sequence to the next;
// afterwards the fixture must hold what was written last.
int WriteSequences(TFTD2XXWrapper& wrapper, const TUID& uid, int count, std::uint8_t personalities) {
    int failed = 0;
    std::uint16_t address = 1;
    std::uint8_t personality = 1;
    std::uint8_t led = 0;
    for (int i = 0; i < count; ++i) {
        address = static_cast<std::uint16_t>(1 + (i * 37) % 512);
        personality = static_cast<std::uint8_t>(personalities ? 1 + i % personalities : 0);
        led = (i % 2) ? 0xFF : 0x00;
        failed +=
            !Transact(wrapper, *BuildToolRequest(ToolRequestNamed("set_dmx_start_address"), uid, address));
        failed +=
            !Transact(wrapper, *BuildToolRequest(ToolRequestNamed("set_dmx_personality"), uid, personality));
        failed += !Transact(wrapper, *BuildToolRequest(ToolRequestNamed("set_status_led"), uid, led));
    }
    VC_FixtureConfig fixture;
    VC_GetFixture(kFixture, &fixture);
    if (count > 0 && (fixture.start_address != address || fixture.current_personality != personality ||
                      fixture.status_led != led)) {
        std::printf("the fixture does not hold the last values written\n");
        ++failed;
    }
    return failed;
}

// Rebuilds the connection as the bootstrap does. A rebuild opens the cable afresh, which a wrapper
// still holding it would refuse, so the held one is released first and connected again afterwards.
int Rebuilds(std::unique_ptr<TFTD2XXWrapper>& held, int count) {
    held.reset();
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        auto wrapper = Connect();
        TUID uid{};
        if (!wrapper || !Discover(*wrapper, uid))
            ++failed;
    }
    held = Connect();
    return failed;
}

void Print(const char* what, long long start, long long end, const char* unit) {
    std::printf("  %-26s %12lld %12lld %+12lld %s\n", what, start, end, end - start, unit);
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main() {
    VC_Reset();
    VC_SetFastTiming();
    VC_FixtureConfig fixture;
    VC_GetFixture(kFixture, &fixture);
    // The writes follow each other at once here: the fixture takes them without time to store.
    fixture.busy_after_set_ms = 0;
    VC_SetFixture(kFixture, &fixture);

    auto wrapper = Connect();
    TUID uid{};
    if (!wrapper || !Discover(*wrapper, uid)) {
        std::printf("no fixture found on the virtual cable\n");
        return 1;
    }

    // Warm-up: one-time allocations (driver binding, first transactions, the capture's buffer at
    // its working size) are not growth.
    int failed = Polls(*wrapper, uid, 2 * kCaptureClearEvery) +
                 WriteSequences(*wrapper, uid, 2, fixture.personality_count);
    failed += Rebuilds(wrapper, 2);
    if (!wrapper || !Discover(*wrapper, uid)) {
        std::printf("no fixture found after the warm-up rebuilds\n");
        return 1;
    }
    if (failed != 0)
        std::printf("warm-up: %d transactions failed\n", failed);
    const Figures start = Measure();

    auto clock = std::chrono::steady_clock::now();
    const int pollFailures = Polls(*wrapper, uid, kPolls);
    const double pollSeconds = Seconds(clock);
    const Figures afterPolls = Measure();
    clock = std::chrono::steady_clock::now();
    const int writeFailures = WriteSequences(*wrapper, uid, kWriteSequences, fixture.personality_count);
    const double writeSeconds = Seconds(clock);
    const Figures afterWrites = Measure();
    clock = std::chrono::steady_clock::now();
    const int rebuildFailures = Rebuilds(wrapper, kRebuilds); // ends connected, as at the first reading
    const double rebuildSeconds = Seconds(clock);
    const Figures end = Measure();
    failed += pollFailures + writeFailures + rebuildFailures;

    std::printf("soak run on the virtual cable\n");
    std::printf("  %d polls: %d failed (%.1f s)\n", kPolls, pollFailures, pollSeconds);
    std::printf("  %d write sequences: %d transactions failed (%.1f s)\n", kWriteSequences, writeFailures,
                writeSeconds);
    std::printf("  %d connection rebuilds: %d failed (%.1f s)\n", kRebuilds, rebuildFailures, rebuildSeconds);
    std::printf("  %-26s %12s %12s %12s\n", "", "start", "end", "change");
    Print("resident set", start.rssKiB, end.rssKiB, "KiB");
    Print("heap in use", start.heapBytes, end.heapBytes, "bytes");
    struct Phase {
        const char* name;
        const Figures& from;
        const Figures& to;
        bool HeapGrew() const { return to.heapBytes - from.heapBytes > kHeapToleranceBytes; }
    };
    const Phase phases[] = {{"  after the polls", start, afterPolls},
                            {"  after the writes", afterPolls, afterWrites},
                            {"  after the rebuilds", afterWrites, end}};
    for (const Phase& phase : phases)
        Print(phase.name, phase.from.heapBytes, phase.to.heapBytes, "bytes");
    Print("threads", start.threads, end.threads, "");
    Print("open files", start.openFiles, end.openFiles, "");
    Print("open cable handles", start.cableHandles, end.cableHandles, "");

    bool grew = end.threads > start.threads || end.openFiles > start.openFiles ||
                end.cableHandles > start.cableHandles ||
                std::any_of(std::begin(phases), std::end(phases),
                            [](const Phase& phase) { return phase.HeapGrew(); });
    if (grew)
        std::printf("growth found\n");
    wrapper.reset();
    VC_Reset();
    return failed == 0 && !grew ? 0 : 1;
}
