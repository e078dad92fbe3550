// What finding every fixture on a line costs: the discovery search on lines of 2, 8 and 32
// fixtures (32 of one production batch, whose UIDs differ only in their last bits, and 32 spread
// over the whole range), and the search followed by reading each fixture's list row, on the
// virtual cable with the line's real timing.
#include "BenchClock.h"
#include "BenchTable.h"
#include "DiscoverySearch.h"
#include "FTD2XXWrapper.h"
#include "FixtureList.h"
#include "LineFloor.h"
#include "VirtualLine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int CableIndex = 0;

std::vector<std::uint64_t> Batch(int count) {
    std::vector<std::uint64_t> uids;
    for (int i = 0; i < count; ++i)
        uids.push_back(0x5A59'0000'1000ull + static_cast<std::uint64_t>(i));
    return uids;
}

// Evenly over the range, each nudged by a different amount so that no two share low bits.
std::vector<std::uint64_t> Spread(int count) {
    std::vector<std::uint64_t> uids;
    const std::uint64_t step = 0xFFFF'FFFF'FFFFull / static_cast<std::uint64_t>(count);
    for (std::uint64_t i = 0; i < static_cast<std::uint64_t>(count); ++i)
        uids.push_back(i * step + (i * 0x9E37'79B1ull) % (step / 2) + 1);
    return uids;
}

void SetUpLineOf(const VC_Timing& timing, const std::vector<std::uint64_t>& uids, bench::LatencyTimer timer) {
    VC_FixtureConfig fixture = bench::FixtureWithPersonalities(5);
    bench::SetUpLine(timing, fixture, timer);
    VC_RemoveFixture(0);
    for (const std::uint64_t uid : uids) {
        const TUID bytes = UIDFromValue(uid);
        std::copy(std::begin(bytes.Bytes), std::end(bytes.Bytes), fixture.uid);
        if (VC_AddFixture(0, &fixture) < 0)
            throw std::runtime_error("the virtual cable refused a fixture");
    }
    VC_CaptureClear();
}

constexpr int Runs = 3;

struct Line {
    std::string Name;
    std::vector<std::uint64_t> UIDs;
    bool WithRows;
};

// The cable's own 16 ms, kept or lowered by the tool at opening; the search's reply window follows
// the timer as the session sets it.
bench::Row Measure(const Line& line, bench::LatencyTimer timer) {
    const VC_Timing cableTiming = bench::LineTiming(16000);
    SetUpLineOf(cableTiming, line.UIDs, timer);
    TFTD2XXWrapper ftd;
    if (!ftd.Initialize() || !ftd.OpenAvailableInterfaceByIndex(CableIndex))
        throw std::runtime_error("the virtual cable could not be bound and opened: " +
                                 ftd.LastDLLErrorString());
    ftd.SetDMXStreamDisabled(true); // as the tool runs: the line carries only the conversation
    const int timerMs = ftd.LatencyTimerMs(CableIndex);
    const VC_Timing timing = bench::WithLatencyTimer(cableTiming, timerMs);
    TDiscoverySearchLimits limits;
    limits.ReplyWindowMs = SearchTiming::ReplyWindowMsFor(timerMs);

    std::vector<TUID> expected;
    for (const std::uint64_t uid : line.UIDs)
        expected.push_back(UIDFromValue(uid));
    std::sort(expected.begin(), expected.end(),
              [](const TUID& a, const TUID& b) { return UIDValue(a) < UIDValue(b); });

    bench::Runs runs;
    int failed = 0;
    for (int run = 0; run < Runs; ++run) {
        const int captureStart = VC_CaptureCount();
        const std::uint64_t callsStart = VC_CallCount("*");
        const bench::Stopwatch watch;
        const TDiscoverySearchResult found = RunDiscoverySearch(ftd, CableIndex, limits);
        bool complete = found.UIDs == expected && !found.OutOfTime;
        if (line.WithRows) {
            for (const TUID& uid : found.UIDs)
                complete = ReadFixtureListRow(ftd, CableIndex, uid).Read && complete;
        }
        const double wallMs = watch.Wall();
        if (!complete) {
            // On a loaded machine the thread may lose the processor for longer than a reply window.
            ++failed;
            std::fprintf(stderr, "%s: found %zu of %zu after %.1f ms%s; missing:", line.Name.c_str(),
                         found.UIDs.size(), expected.size(), wallMs, found.OutOfTime ? ", out of time" : "");
            for (const TUID& uid : expected)
                if (std::find(found.UIDs.begin(), found.UIDs.end(), uid) == found.UIDs.end())
                    std::fprintf(stderr, " %s", UIDToString(uid).c_str());
            std::fprintf(stderr, "\n");
            continue;
        }
        runs.Add(wallMs, watch.Cpu(), watch.Waiting(), static_cast<double>(VC_CallCount("*") - callsStart),
                 bench::FloorOfCapture(timing, captureStart, VC_CaptureCount(),
                                       bench::WaitScope::DiscoverySearch, limits.ReplyWindowMs)
                     .TotalMs());
    }
    if (runs.Empty())
        throw std::runtime_error(line.Name + ": every run failed");
    std::string what = line.Name + ", window " + std::to_string(limits.ReplyWindowMs) + " ms";
    if (failed > 0)
        what += " (" + std::to_string(failed) + " failed)";
    std::string latency = bench::LatencyText(cableTiming);
    if (timing.usb_latency_us != cableTiming.usb_latency_us)
        latency += ", timer lowered to " + bench::LatencyText(timing);
    return runs.ToRow(what, latency);
}

} // namespace

int main(int argc, char** argv) {
    bench::PrintHeaderUnlessRowsOnly(argc, argv);
    const Line lines[] = {
        {"discovery search, 2 fixtures", Batch(2), false},
        {"discovery search, 8 fixtures of one batch", Batch(8), false},
        {"discovery search, 32 fixtures of one batch", Batch(32), false},
        {"discovery search, 32 fixtures spread over the range", Spread(32), false},
        {"discovery search and list rows, 32 fixtures of one batch", Batch(32), true},
    };
    try {
        for (const bench::LatencyTimer timer :
             {bench::LatencyTimer::Kept, bench::LatencyTimer::LoweredByTheTool})
            for (const Line& line : lines)
                bench::PrintRow(Measure(line, timer));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_discovery: %s\n", e.what());
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
