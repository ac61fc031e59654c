// What a booted device costs while a person only looks at it, served headless:
//
// - Wake-ups: how often the supervisor runs while nothing happens (Settings on its first page, the
//   lock screen's waves stopped by a finger held on a button), from the scheduler's own count of the
//   times each of its threads ran (the second field of /proc/PID/task/TID/schedstat), over 5 s.
//   Baseline in the same run: the same count for the lock screen, which does nothing either.
// - Memory: the proportional set size (PSS: shared pages divided among the processes that map them)
//   of all the device's processes with Settings showing the Zorvi page. Baseline in the same run: the
//   same device with Settings on its first page.

#include "bench/support/Processes.h"
#include "bench/support/ServedDevice.h"
#include "tests/support/ChildProcesses.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using namespace bench;

ServedDevice& served() {
    static ServedDevice instance(ZV_BOOT, ZV_ZORVI);
    return instance;
}

// Proportional set size in kB.
double pss(pid_t pid) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(rollup, line);)
        if (line.rfind("Pss:", 0) == 0)
            return std::atof(line.c_str() + 4);
    return 0;
}

double devicePss() {
    double total = pss(served().supervisor);
    for (const auto& [pid, name] : served().children())
        total += pss(pid);
    return total / 1024;
}

void BM_IdleWakeUps(benchmark::State& state) {
    served();
    served().zorvi("send springboard \"pan 1 begin\"");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    pid_t lockScreen = -1;
    for (const auto& [pid, name] : served().children())
        if (name == "zv-springboard")
            lockScreen = pid;
    for (auto _ : state) {
        long supervisorBefore = schedulerRuns(served().supervisor),
             lockScreenBefore = schedulerRuns(lockScreen);
        auto begin = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        double wall = std::chrono::duration<double>(Clock::now() - begin).count();
        state.counters["supervisor_per_s"] =
            static_cast<double>(schedulerRuns(served().supervisor) - supervisorBefore) / wall;
        state.counters["lock_screen_per_s"] =
            static_cast<double>(schedulerRuns(lockScreen) - lockScreenBefore) / wall;
        state.SetIterationTime(wall);
    }
    served().zorvi("send springboard \"pan 1 end\"");
}

void BM_MemoryWithZorviPage(benchmark::State& state) {
    served();
    for (auto _ : state) {
        served().zorvi("send settings \"back\"");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        double firstPage = devicePss();
        served().zorvi("ui settings tap --label Zorvi");
        std::this_thread::sleep_for(std::chrono::seconds(1));
        double zorviPage = devicePss();
        state.counters["first_page_MB"] = firstPage;
        state.counters["zorvi_page_MB"] = zorviPage;
        state.counters["ratio"] = zorviPage / firstPage;
        state.SetIterationTime(1);
    }
}

BENCHMARK(BM_IdleWakeUps)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_MemoryWithZorviPage)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
