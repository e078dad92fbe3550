#include "BenchClock.h"

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

} // namespace bench
