// Waiting in tests: for what is expected, with a deadline of seconds, never for a fixed time, so a
// test holds while something else keeps the machine's cores busy.
#pragma once

#include <chrono>
#include <thread>

// Waits (generously: timers run late on a loaded machine, and later under Wine) until the condition
// holds; false when it never did.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
