// The one table all benchmark programs print, as Markdown rows: a program prints the header only
// when asked, so that scripts/bench.sh can join the rows of several programs under one header.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bench {

struct Row {
    std::string What;
    std::string Latency;             // USB latency of the virtual cable, e.g. "16 ms"
    std::optional<double> WallMs;    // wall time (figures of repeated runs are medians)
    std::optional<double> BestMs;    // shortest wall time: the code's cost with the least interference
    std::optional<double> FloorMs;   // what the line and the prescribed waits allow at best
    std::optional<double> CpuMs;     // CPU time of the tool's thread
    std::optional<double> WaitingMs; // time the tool's thread waited for a processor (shared machine)
    std::optional<double> CpuShare;  // CPU time of the whole process / wall time, in percent
    std::optional<double> D2XXCalls; // driver calls made
    std::optional<double> PerSecond; // polls per second
};

// The measured runs of one row: its wall times (median and best), and the medians of the rest.
struct Runs {
    std::vector<double> Wall, Cpu, Waiting, Calls, Floor;
    void Add(double wallMs, double cpuMs, double waitingMs, double calls, double floorMs);
    bool Empty() const { return Wall.empty(); }
    Row ToRow(const std::string& what, const std::string& latency) const;
};

void PrintHeader();
void PrintRow(const Row& row);

// Prints the header unless the program was started with --rows-only.
void PrintHeaderUnlessRowsOnly(int argc, char** argv);

double Median(std::vector<double> values);

} // namespace bench
