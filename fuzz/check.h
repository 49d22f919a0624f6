#pragma once

// What every fuzz target does when a result differs from its plain model:
// says which and stops, so that libFuzzer keeps the input.

#include <cstdio>
#include <cstdlib>

namespace tarvidon::fuzz {

inline void Check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

} // namespace tarvidon::fuzz
