#pragma once

// The lock-screen process's own start, as the benchmarks of start-up and Respring measure it.

#include "bench/support/Processes.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

// Seconds from starting the lock-screen host (`springboard`, headless on the device) to its first
// drawn frame, the "frame" event of its script's `render`; -1 if it ended without drawing one.
inline double secondsToFirstFrame(const std::string& springboard, const Device& device) {
    std::string script = device.file("first-frame.txt", "render\n");
    int ends[2];
    if (::pipe(ends) != 0)
        std::abort();
    auto begin = Clock::now();
    pid_t host = spawn({springboard, "--root", device.root, "--headless", "--script", script}, ends[1]);
    ::close(ends[1]);
    bool drawn = waitForLine(ends[0], "\"frame\"");
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    ::close(ends[0]);
    waitpid(host, nullptr, 0);
    return drawn ? seconds : -1;
}

// A benchmark of that start: each iteration's time (manual) is one start, also kept in `samples`.
inline void measureStartToFirstFrame(benchmark::State& state, const std::string& springboard,
                                     const Device& device, std::vector<double>& samples) {
    for (auto _ : state) {
        double seconds = secondsToFirstFrame(springboard, device);
        if (seconds < 0) {
            state.SkipWithError("no frame was drawn");
            return;
        }
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
}

} // namespace bench
