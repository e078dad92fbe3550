// Time as the simulated line sees it: a monotonic count of nanoseconds since the library started.
#pragma once

#include <cstdint>

namespace vcable {

using Nanos = int64_t;

constexpr Nanos kMicro = 1'000;
constexpr Nanos kMilli = 1'000'000;

Nanos monotonicNow();
void sleepFor(Nanos duration);

} // namespace vcable
