#include "BenchClock.h"

#include <cstdio>
#include <ctime>

namespace bench {

namespace {
double Read(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}
} // namespace

double WallMs() {
    return Read(CLOCK_MONOTONIC);
}
double ThreadCpuMs() {
    return Read(CLOCK_THREAD_CPUTIME_ID);
}
double ProcessCpuMs() {
    return Read(CLOCK_PROCESS_CPUTIME_ID);
}

double ThreadRunQueueWaitMs() {
    // Three numbers in nanoseconds: time on a processor, time waiting in the run queue, time slices.
    std::FILE* file = std::fopen("/proc/thread-self/schedstat", "r");
    if (file == nullptr)
        return 0;
    unsigned long long running = 0;
    unsigned long long waiting = 0;
    const int read = std::fscanf(file, "%llu %llu", &running, &waiting);
    std::fclose(file);
    return read == 2 ? static_cast<double>(waiting) / 1e6 : 0;
}

} // namespace bench
