#pragma once

#include <ctime>

// Processor time in milliseconds, for the benchmarks' figures beside wall time.
namespace bench {

inline double cpuTimeMs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The whole process, all threads.
inline double processCpuMs()
{
    return cpuTimeMs(CLOCK_PROCESS_CPUTIME_ID);
}

// The calling thread alone.
inline double threadCpuMs()
{
    return cpuTimeMs(CLOCK_THREAD_CPUTIME_ID);
}

} // namespace bench
