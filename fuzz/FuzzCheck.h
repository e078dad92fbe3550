// A broken promise found by a fuzzer must stop the run with a readable reason; abort() makes
// libFuzzer keep the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_REQUIRE(condition, what)                                                                        \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "broken promise: %s (%s:%d)\n", what, __FILE__, __LINE__);                  \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)
