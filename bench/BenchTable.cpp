#include "BenchTable.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace bench {

namespace {
std::string Cell(const std::optional<double>& value, const char* format) {
    if (!value)
        return "";
    char text[64];
    std::snprintf(text, sizeof(text), format, *value);
    return text;
}
} // namespace

void Runs::Add(double wallMs, double cpuMs, double waitingMs, double calls, double floorMs) {
    Wall.push_back(wallMs);
    Cpu.push_back(cpuMs);
    Waiting.push_back(waitingMs);
    Calls.push_back(calls);
    Floor.push_back(floorMs);
}

Row Runs::ToRow(const std::string& what, const std::string& latency) const {
    Row row;
    row.What = what;
    row.Latency = latency;
    row.WallMs = Median(Wall);
    if (!Wall.empty())
        row.BestMs = *std::min_element(Wall.begin(), Wall.end());
    row.FloorMs = Median(Floor);
    row.CpuMs = Median(Cpu);
    row.WaitingMs = Median(Waiting);
    row.D2XXCalls = Median(Calls);
    return row;
}

void PrintHeader() {
    std::printf("| Measurement | USB latency | Wall ms | Best ms | Floor ms | Wall/floor | Tool CPU ms | "
                "Waiting for CPU ms | CPU share | "
                "D2XX calls | Polls/s |\n");
    std::printf("|---|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|\n");
}

void PrintRow(const Row& row) {
    std::optional<double> ratio;
    if (row.WallMs && row.FloorMs && *row.FloorMs > 0)
        ratio = *row.WallMs / *row.FloorMs;
    std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", row.What.c_str(),
                row.Latency.c_str(), Cell(row.WallMs, "%.1f").c_str(), Cell(row.BestMs, "%.1f").c_str(),
                Cell(row.FloorMs, "%.1f").c_str(), Cell(ratio, "%.2f").c_str(),
                Cell(row.CpuMs, "%.1f").c_str(), Cell(row.WaitingMs, "%.1f").c_str(),
                Cell(row.CpuShare, "%.0f %%").c_str(), Cell(row.D2XXCalls, "%.0f").c_str(),
                Cell(row.PerSecond, "%.1f").c_str());
    std::fflush(stdout);
}

void PrintHeaderUnlessRowsOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rows-only") == 0)
            return;
    }
    PrintHeader();
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

} // namespace bench
