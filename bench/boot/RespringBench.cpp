// Respring as a person waits for it, on a booted, settled default device: from the device's killall ending
// backboardd (the supervisor's "exit" of backboardd reaching the trace) to the new lock-screen
// process's first drawn frame (its "frame" event). Baseline in the same run: the lock-screen
// process's own start to its first drawn frame, started alone.

#include "bench/support/LockScreenStart.h"
#include "bench/support/Processes.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace bench;

Device& device() {
    static Device instance(ZV_ZORVI);
    return instance;
}

std::vector<double> respringSamples, startSamples;

using Marker = std::vector<std::string>; // the parts a trace line must contain

// Reads trace lines as they arrive and answers when the lines matching each marker, in turn, arrived.
std::vector<double> arrivals(int fd, const std::vector<Marker>& markers, Clock::time_point begin) {
    std::vector<double> times(markers.size(), -1);
    std::string pending;
    char buffer[65536];
    size_t next = 0;
    ssize_t got;
    while (next < markers.size() && (got = ::read(fd, buffer, sizeof buffer)) > 0) {
        double now = std::chrono::duration<double>(Clock::now() - begin).count();
        pending.append(buffer, static_cast<size_t>(got));
        size_t newline;
        while (next < markers.size() && (newline = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, newline);
            if (std::all_of(markers[next].begin(), markers[next].end(),
                            [&](const std::string& part) { return line.find(part) != std::string::npos; }))
                times[next++] = now;
            pending.erase(0, newline + 1);
        }
    }
    return times;
}

void BM_RespringToFirstFrame(benchmark::State& state) {
    // A device that has finished booting, as a person's is when they tap Respring.
    std::string script = device().file("respring.txt", "wait-for springboard ready\nwait-for settings ready\n"
                                                       "pause 300\nkill backboardd TERM\n"
                                                       "wait-for springboard ready\nspringboard: render\n"
                                                       "wait-for springboard frame\n");
    for (auto _ : state) {
        int ends[2];
        if (pipe(ends) != 0)
            std::abort();
        auto begin = Clock::now();
        pid_t boot = spawn({ZV_BOOT, "--root", device().root, "--headless", "--script", script}, ends[1]);
        close(ends[1]);
        auto times = arrivals(
            ends[0], {{"\"event\":\"exit\"", "\"process\":\"backboardd\""}, {"\"event\":\"frame\""}}, begin);
        close(ends[0]);
        waitpid(boot, nullptr, 0);
        if (times[0] < 0 || times[1] < 0) {
            state.SkipWithError("the lock screen did not come back");
            return;
        }
        respringSamples.push_back(times[1] - times[0]);
        state.SetIterationTime(times[1] - times[0]);
    }
}

void BM_BaselineLockScreenStart(benchmark::State& state) {
    measureStartToFirstFrame(state, ZV_SPRINGBOARD, device(), startSamples);
}

} // namespace

BENCHMARK(BM_BaselineLockScreenStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_RespringToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double respring = median(respringSamples) * 1000, start = median(startSamples) * 1000;
    std::printf(
        "median: Respring to the new lock screen's first frame %.1f ms, the lock screen's own start %.1f ms, "
        "ratio %.2f\n",
        respring, start, start > 0 ? respring / start : 0.0);
    return 0;
}
