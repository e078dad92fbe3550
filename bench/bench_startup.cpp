// From process start to the main window shown: starts the tool's demo executable (beside the
// virtual cable) offscreen, with WindowShownProbe preloaded, and takes the time from just before
// the process is created until the window's first paint. The probe then closes the window.
#include "BenchClock.h"
#include "BenchTable.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int Launches = 10;
constexpr int ReportTimeoutMs = 30000;
constexpr int ExitTimeoutMs = 30000;

double MonotonicNsToMs(long long ns) {
    return static_cast<double>(ns) / 1e6;
}

// Waits for the child to end; ends it if it does not close within the timeout.
void Reap(pid_t child) {
    const double deadline = bench::WallMs() + ExitTimeoutMs;
    while (waitpid(child, nullptr, WNOHANG) == 0) {
        if (bench::WallMs() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            throw std::runtime_error("the tool did not close after its window was shown");
        }
        usleep(10000);
    }
}

// One launch; the time in milliseconds from before fork() to the first paint of the window.
double LaunchOnce() {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));

    const std::string reportFd = std::to_string(fds[1]);
    const double start = bench::WallMs();
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (child == 0) {
        close(fds[0]);
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) { // the tool's own diagnostics are no part of the table
            dup2(quiet, STDOUT_FILENO);
            dup2(quiet, STDERR_FILENO);
        }
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("LD_PRELOAD", ZYL_WINDOW_PROBE, 1);
        setenv("ZYL_BENCH_REPORT_FD", reportFd.c_str(), 1);
        execl(ZYL_TOOL_EXECUTABLE, ZYL_TOOL_EXECUTABLE, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);

    pollfd readable{fds[0], POLLIN, 0};
    std::string line;
    if (poll(&readable, 1, ReportTimeoutMs) > 0) {
        char buffer[64] = {};
        const ssize_t n = read(fds[0], buffer, sizeof(buffer) - 1);
        if (n > 0)
            line.assign(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (line.empty()) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        throw std::runtime_error("the tool never reported its window (is " ZYL_TOOL_EXECUTABLE " built?)");
    }
    Reap(child);
    return MonotonicNsToMs(std::atoll(line.c_str())) - start;
}

} // namespace

int main(int argc, char** argv) {
    bench::PrintHeaderUnlessRowsOnly(argc, argv);
    try {
        std::vector<double> times;
        for (int i = 0; i < Launches; ++i)
            times.push_back(LaunchOnce());
        bench::Row row;
        row.What = "process start to window shown (offscreen)";
        row.Latency = "-";
        row.WallMs = bench::Median(times);
        row.BestMs = *std::min_element(times.begin(), times.end());
        bench::PrintRow(row);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_startup: %s\n", e.what());
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
