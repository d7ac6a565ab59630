// A benchmark's short mode (QV_BENCH_SHORT=1): a few rounds only, so that
// the test run proves each benchmark still runs to its ratio line; the
// figures of a short run mean nothing.
#pragma once

#include <cstdlib>

inline bool bench_short() {
    const char *s = std::getenv("QV_BENCH_SHORT");
    return s && *s && *s != '0';
}

// full in a real run, brief in a short one.
template <class T> T bench_count(T full, T brief) { return bench_short() ? brief : full; }
