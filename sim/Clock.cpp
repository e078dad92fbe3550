#include "Clock.h"

#include <chrono>
#include <thread>

namespace vcable {

namespace {
const auto kEpoch = std::chrono::steady_clock::now();
}

Nanos monotonicNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - kEpoch)
        .count();
}

void sleepFor(Nanos duration) {
    if (duration > 0)
        std::this_thread::sleep_for(std::chrono::nanoseconds(duration));
}

} // namespace vcable
