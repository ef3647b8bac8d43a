#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct Timing {
    double min = 0;
    double median = 0;
};

// The least and the median wall time of a piece of work in milliseconds; setup runs before
// each timing.
inline Timing TimeRuns(int runs, const std::function<void()>& setup,
                       const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        setup();
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

// Median wall time of a piece of work in milliseconds; setup runs before each timing.
inline double MedianMs(int runs, const std::function<void()>& setup,
                       const std::function<void()>& work) {
    return TimeRuns(runs, setup, work).median;
}

inline double MedianMs(int runs, const std::function<void()>& work) {
    return MedianMs(
        runs, [] {}, work);
}

inline void PrintFigure(const char* what, double ms, double peerMs, const char* peer) {
    std::printf("%-58s %9.2f ms   %-26s %9.2f ms   ratio %.3f\n", what, ms, peer, peerMs,
                ms / peerMs);
}

inline void PrintPeakMemory() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MB\n", usage.ru_maxrss / 1024.0);
}

// Runs work in a child process of its own (so that its peak memory figure is its own) and
// waits for it; false when it failed.
inline bool InChild(const std::function<bool()>& work) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const bool ok = work();
        std::fflush(stdout);
        std::_Exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
