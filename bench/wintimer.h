// Seconds from the performance counter, for the Windows benchmarks.
#pragma once

#include <windows.h>

inline double bench_now() {
    static const double perSecond = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / perSecond;
}
