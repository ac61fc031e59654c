// The Settings application as a person meets it, with the settings bundle installed:
//
// - Start-up: from starting the process to its first page drawn (headless, the "frame" event of a
//   script's `render`). Baseline in the same run: starting the same program to the point where it
//   rejects a bad command line.
// - Opening the bundle's entry: from the first page drawn to the bundle's root page drawn, the bundle
//   loaded and its header cells built (the time between the two "frame" events of
//   `render`, `open Zorvi`, `render`). Compared with the start-up above.
// - Scrolling: CPU used per second while a finger scrolls the bundle's root page (three running wave
//   views in its header) up and down in the window under Xvfb, on a 375 x 667 screen where the page
//   scrolls. Baseline in the same run: the same page left alone, its waves still moving.

#include "bench/support/Processes.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace bench;

Device& device() {
    static Device instance(ZV_ZORVI, "375x812@3");
    return instance;
}

std::vector<double> startSamples, baselineSamples, openSamples;

// Runs the script headless and answers the arrival times (seconds from start) of its "frame" events.
std::vector<double> frameTimes(const std::string& script) {
    int ends[2];
    if (pipe(ends) != 0)
        std::abort();
    auto begin = Clock::now();
    pid_t host = spawn({ZV_SETTINGS, "--root", device().root, "--headless", "--script", script}, ends[1]);
    close(ends[1]);
    std::vector<double> times;
    std::string pending;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(ends[0], buffer, sizeof buffer)) > 0) {
        double now = std::chrono::duration<double>(Clock::now() - begin).count();
        pending.append(buffer, static_cast<size_t>(got));
        size_t newline;
        while ((newline = pending.find('\n')) != std::string::npos) {
            if (pending.compare(0, newline, "{\"event\":\"frame\"", 0, 16) == 0 ||
                pending.substr(0, newline).find("\"event\":\"frame\"") != std::string::npos)
                times.push_back(now);
            pending.erase(0, newline + 1);
        }
    }
    close(ends[0]);
    waitpid(host, nullptr, 0);
    return times;
}

void BM_BaselineProgramStart(benchmark::State& state) {
    for (auto _ : state) {
        int null = ::open("/dev/null", O_WRONLY);
        auto begin = Clock::now();
        pid_t host = spawn({ZV_SETTINGS, "--no-such-option"}, null);
        waitpid(host, nullptr, 0);
        double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        close(null);
        baselineSamples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
}

void BM_StartToFirstFrame(benchmark::State& state) {
    std::string script = device().file("first-frame.txt", "render\n");
    for (auto _ : state) {
        std::vector<double> times = frameTimes(script);
        if (times.empty()) {
            state.SkipWithError("no frame was drawn");
            return;
        }
        startSamples.push_back(times[0]);
        state.SetIterationTime(times[0]);
    }
}

void BM_OpenEntryToPageDrawn(benchmark::State& state) {
    std::string script = device().file("open.txt", "render\nopen Zorvi\nrender\n");
    for (auto _ : state) {
        std::vector<double> times = frameTimes(script);
        if (times.size() < 2) {
            state.SkipWithError("the page was not drawn");
            return;
        }
        openSamples.push_back(times[1] - times[0]);
        state.SetIterationTime(times[1] - times[0]);
    }
}

double scrollingFraction = -1, stillFraction = -1, wakeLoopFraction = -1, stillToWakeLoop = -1,
       scrollingWakeLoop = -1, scrollingToWakeLoop = -1;

// CPU fraction of one core the window uses over 8 seconds, optionally while a finger scrolls, beside a
// bare loop waking 60 times a second over the same seconds.
BesideWakeLoop windowCpuFraction(bool scrolling) {
    static Xvfb xvfb;
    static Device small(ZV_ZORVI, "375x667@2");
    std::string script = small.file("open.txt", "open Zorvi\n");
    int null = ::open("/dev/null", O_WRONLY);
    pid_t host =
        spawn({ZV_SETTINGS, "--root", small.root, "--script", script}, null, {"DISPLAY=" + xvfb.display});
    std::this_thread::sleep_for(std::chrono::seconds(2)); // start-up and warm-up
    pid_t finger = -1;
    if (scrolling) {
        // Up and down over the table, two seconds a sweep, a move each refresh.
        std::string moves =
            "xdotool mousemove 640 500 mousedown 1; while true; do "
            "for i in $(seq 60); do xdotool mousemove_relative -- 0 -4; sleep 0.016; done; "
            "for i in $(seq 60); do xdotool mousemove_relative -- 0 4; sleep 0.016; done; done";
        finger = spawn({"/bin/sh", "-c", moves}, null, {"DISPLAY=" + xvfb.display});
    }
    BesideWakeLoop cpu = cpuFractionBesideWakeLoop(host, 8);
    if (finger > 0) {
        kill(finger, SIGKILL);
        waitpid(finger, nullptr, 0);
    }
    kill(host, SIGTERM);
    waitpid(host, nullptr, 0);
    close(null);
    return cpu;
}

bool haveDisplayTools(benchmark::State& state) {
    if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0) {
        state.SkipWithError("Xvfb or xdotool is not installed");
        return false;
    }
    return true;
}

void BM_BaselineWindowStill(benchmark::State& state) {
    if (!haveDisplayTools(state))
        return;
    for (auto _ : state) {
        BesideWakeLoop cpu = windowCpuFraction(false);
        stillFraction = cpu.fraction;
        stillToWakeLoop = cpu.ratio();
        wakeLoopFraction = cpu.wakeLoop;
        state.SetIterationTime(8);
    }
    state.counters["core_fraction"] = stillFraction;
}

void BM_WindowScrollingCpu(benchmark::State& state) {
    if (!haveDisplayTools(state))
        return;
    // The median of five runs: the machine is shared, and one run costs more or less with what else
    // runs beside it.
    for (auto _ : state) {
        std::vector<double> runs, loops, ratios;
        for (int i = 0; i < 5; ++i) {
            BesideWakeLoop cpu = windowCpuFraction(true);
            runs.push_back(cpu.fraction);
            loops.push_back(cpu.wakeLoop);
            ratios.push_back(cpu.ratio());
        }
        scrollingFraction = median(runs);
        scrollingWakeLoop = median(loops);
        scrollingToWakeLoop = median(ratios);
        state.SetIterationTime(8);
    }
    state.counters["core_fraction"] = scrollingFraction;
}

} // namespace

BENCHMARK(BM_BaselineProgramStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_OpenEntryToPageDrawn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_BaselineWindowStill)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_WindowScrollingCpu)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double start = median(startSamples) * 1000, base = median(baselineSamples) * 1000,
           open = median(openSamples) * 1000;
    std::printf("median: start to first frame %.1f ms, program start baseline %.1f ms, ratio %.2f\n", start,
                base, base > 0 ? start / base : 0.0);
    std::printf("median: open the entry to its page drawn %.1f ms, ratio to start-up %.2f\n", open,
                start > 0 ? open / start : 0.0);
    if (scrollingFraction >= 0 && stillFraction >= 0)
        std::printf("window at 60 Hz: scrolling %.2f%% of a core, still %.2f%%, ratio %.2f\n",
                    scrollingFraction * 100, stillFraction * 100,
                    stillFraction > 0 ? scrollingFraction / stillFraction : 0.0);
    if (stillToWakeLoop >= 0)
        std::printf("a bare loop waking 60 times a second beside the still page: %.2f%% of a core; the still "
                    "page is %.2f times it\n",
                    wakeLoopFraction * 100, stillToWakeLoop);
    if (scrollingToWakeLoop >= 0)
        std::printf(
            "beside the scrolled page (xdotool moving the pointer) the loop takes %.2f%%; the page is %.2f "
            "times it (median of the runs' ratios)\n",
            scrollingWakeLoop * 100, scrollingToWakeLoop);
    return 0;
}
