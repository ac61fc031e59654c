// The lock-screen process as a person meets it, on a default device (375 x 812 points, scale 3,
// 60 Hz) with the tweak installed:
//
// - Start-up: from starting the process to the first frame of the lock screen drawn (headless,
//   the "frame" event of a script's `render`). Baseline in the same run: starting the same program
//   to the point where it rejects a bad command line (loading its libraries, nothing more).
// - Animation: CPU used per second of animation in the steady state, in the window under Xvfb, as
//   a fraction of one core. Baseline in the same run: the same window with the waves stopped (a
//   finger held below the launch line), which costs only the event and refresh loop; and, over the
//   same seconds, a bare loop that does nothing but wake 60 times a second: the floor this machine
//   puts under any window that animates, whatever it draws.

#include "bench/support/LockScreenStart.h"
#include "bench/support/Processes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace bench;

Device& device() {
    static Device instance(ZV_ZORVI);
    return instance;
}

std::vector<double> startupSamples, baselineSamples;

void BM_StartToFirstFrame(benchmark::State& state) {
    measureStartToFirstFrame(state, ZV_SPRINGBOARD, device(), startupSamples);
}

void BM_BaselineProgramStart(benchmark::State& state) {
    for (auto _ : state) {
        int null = ::open("/dev/null", O_WRONLY);
        auto begin = Clock::now();
        pid_t host = spawn({ZV_SPRINGBOARD, "--no-such-option"}, null);
        waitpid(host, nullptr, 0);
        double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        close(null);
        baselineSamples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
}

// The window's fraction of a core, beside a bare loop waking as often over the same seconds.
BesideWakeLoop windowCpuFraction(const std::string& script) {
    static Xvfb xvfb;
    int null = ::open("/dev/null", O_WRONLY);
    std::vector<std::string> words = {ZV_SPRINGBOARD, "--root", device().root};
    if (!script.empty()) {
        words.push_back("--script");
        words.push_back(script);
    }
    pid_t host = spawn(words, null, {"DISPLAY=" + xvfb.display});
    close(null);
    std::this_thread::sleep_for(std::chrono::seconds(2)); // start-up and warm-up
    BesideWakeLoop cpu = cpuFractionBesideWakeLoop(host, 8);
    kill(host, SIGTERM);
    waitpid(host, nullptr, 0);
    return cpu;
}

double animatingFraction = -1, stillFraction = -1, wakeLoopFraction = -1, toWakeLoop = -1;

void BM_WindowAnimationCpu(benchmark::State& state) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) {
        state.SkipWithError("Xvfb is not installed");
        return;
    }
    // The median of five runs: the machine is shared, and one run costs more or less with what else
    // runs beside it.
    for (auto _ : state) {
        std::vector<double> runs, loops, ratios;
        for (int i = 0; i < 5; ++i) {
            BesideWakeLoop cpu = windowCpuFraction("");
            runs.push_back(cpu.fraction);
            loops.push_back(cpu.wakeLoop);
            ratios.push_back(cpu.ratio());
        }
        animatingFraction = median(runs);
        wakeLoopFraction = median(loops);
        toWakeLoop = median(ratios);
        state.SetIterationTime(8);
    }
    state.counters["core_fraction"] = animatingFraction;
    state.counters["to_wake_loop"] = toWakeLoop;
}

void BM_BaselineWindowStill(benchmark::State& state) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) {
        state.SkipWithError("Xvfb is not installed");
        return;
    }
    std::string script = device().file("still.txt", "pan 1 begin\npan 1 move 0 200\n");
    for (auto _ : state) {
        stillFraction = windowCpuFraction(script).fraction;
        state.SetIterationTime(8);
    }
    state.counters["core_fraction"] = stillFraction;
}

} // namespace

BENCHMARK(BM_BaselineProgramStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_BaselineWindowStill)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_WindowAnimationCpu)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double start = median(startupSamples) * 1000, base = median(baselineSamples) * 1000;
    std::printf("median: start to first frame %.1f ms, program start baseline %.1f ms, ratio %.2f\n", start,
                base, base > 0 ? start / base : 0.0);
    if (animatingFraction >= 0 && stillFraction >= 0)
        std::printf("window at 60 Hz: animating %.2f%% of a core, still %.2f%%, ratio %.2f\n",
                    animatingFraction * 100, stillFraction * 100,
                    stillFraction > 0 ? animatingFraction / stillFraction : 0.0);
    if (toWakeLoop >= 0)
        std::printf(
            "a bare loop waking 60 times a second beside it: %.2f%% of a core; the animating window is "
            "%.2f times it (median of the runs' ratios)\n",
            wakeLoopFraction * 100, toWakeLoop);
    return 0;
}
