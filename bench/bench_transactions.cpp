// What one RDM transaction costs the tool: wall time, CPU time of the calling thread and driver
// calls, for GET DEVICE_INFO and for discovery, on the virtual cable with the line's real timing.
// The cable layer is driven exactly as the fixture state machine drives it.
#include "BenchClock.h"
#include "BenchTable.h"
#include "FTD2XXWrapper.h"
#include "LineFloor.h"
#include "SessionTimings.h"
#include "ToolRequests.h"
#include "VirtualLine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int CableIndex = 0;
constexpr int Repetitions = 40;

// The line traffic of a failed transaction, for the report.
void PrintCapture(int first, int last) {
    VC_Packet packet{};
    for (int i = first; i < last; ++i) {
        if (VC_CaptureGet(i, &packet) != 0)
            break;
        std::fprintf(stderr, "  %10.3f ms %s %3d bytes, flags %d:", packet.time_ms,
                     packet.direction == VC_TO_FIXTURE ? "->" : "<-", packet.length, packet.flags);
        for (int b = 0; b < packet.length && b < 32; ++b)
            std::fprintf(stderr, " %02X", packet.bytes[b]);
        std::fprintf(stderr, "\n");
    }
}

// Runs `transaction` (which reports whether it succeeded) several times and measures each run.
bench::Row Measure(const std::string& what, const VC_Timing& timing,
                   const std::function<bool()>& transaction) {
    // Warm-up, and a check that the line answers at all.
    bool answered = false;
    for (int attempt = 0; attempt < 3 && !answered; ++attempt)
        answered = transaction();
    if (!answered)
        throw std::runtime_error(what + ": the transaction failed");
    bench::Runs runs;
    int failed = 0;
    for (int i = 0; i < Repetitions; ++i) {
        const int captureStart = VC_CaptureCount();
        const std::uint64_t callsStart = VC_CallCount("*");
        const bench::Stopwatch watch;
        const bool ok = transaction();
        const double wallMs = watch.Wall();
        const double cpuMs = watch.Cpu();
        if (!ok) {
            // On a loaded machine the thread may lose the processor for longer than the reply window.
            ++failed;
            std::fprintf(stderr, "%s: failed after %.1f ms wall, %.1f ms CPU\n", what.c_str(), wallMs, cpuMs);
            PrintCapture(captureStart, VC_CaptureCount());
            continue;
        }
        runs.Add(
            wallMs, cpuMs, watch.Waiting(), static_cast<double>(VC_CallCount("*") - callsStart),
            bench::FloorOfCapture(timing, captureStart, VC_CaptureCount(), bench::WaitScope::Transactions)
                .TotalMs());
    }
    if (runs.Empty())
        throw std::runtime_error(what + ": every transaction failed");
    return runs.ToRow(failed == 0 ? what : what + " (" + std::to_string(failed) + " failed)",
                      bench::LatencyText(timing));
}

void MeasureAt(std::uint32_t usbLatencyUs) {
    const VC_Timing timing = bench::LineTiming(usbLatencyUs);
    const VC_FixtureConfig fixture = bench::FixtureWithPersonalities(8);
    bench::SetUpLine(timing, fixture);

    TFTD2XXWrapper ftd;
    if (!ftd.Initialize() || !ftd.OpenAvailableInterfaceByIndex(CableIndex))
        throw std::runtime_error("the virtual cable could not be bound and opened: " +
                                 ftd.LastDLLErrorString());
    ftd.SetDMXStreamDisabled(true); // as the tool does: the line carries only the transactions

    TUID uid{};
    for (int i = 0; i < 6; ++i)
        uid.Bytes[i] = fixture.uid[i];

    TRDMResponseData reply{};
    bench::PrintRow(Measure("GET DEVICE_INFO", timing, [&] {
        const auto request = BuildToolRequest(TToolRequestKind::DeviceInfo, uid);
        return ftd.RDMCommandWithResponse(CableIndex, *request, reply, SessionTimings::ReplyTimeoutMs) &&
               CheckRDMResponse(*request, reply, SessionTimings::ReplyTimeoutMs) &&
               reply.ErrorCode == RDM_ERR_NONE;
    }));

    const auto uniqueBranch = [&] {
        TUID found{};
        return ftd.DiscoveryCommand(CableIndex, *BuildDiscoveryOfAll(), found,
                                    SessionTimings::DiscoveryReplyWindowMs) &&
               found == uid;
    };
    bench::PrintRow(Measure("DISC_UNIQUE_BRANCH", timing, uniqueBranch));

    bench::PrintRow(Measure("discovery: DISC_UN_MUTE broadcast + DISC_UNIQUE_BRANCH", timing, [&] {
        const auto unMute = BuildUnMuteAll();
        ftd.SendRDMCommand(CableIndex, &unMute->CommandData(), unMute->MessageLength() + 2, false);
        return uniqueBranch();
    }));
}

} // namespace

int main(int argc, char** argv) {
    bench::PrintHeaderUnlessRowsOnly(argc, argv);
    try {
        MeasureAt(16000);
        MeasureAt(1000);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_transactions: %s\n", e.what());
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
