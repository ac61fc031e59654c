// Driving a served device from another shell, as a tool does step by step: a `zorvi ui ... tap`
// from the command's start to its exit (the host having applied the tap), and `describe --json` of
// the Zorvi page, each against the plain start of `zorvi --version` in the same run. Then what the
// served headless device costs while nobody drives it: the supervisor's and its processes' CPU
// together.

#include "bench/support/Processes.h"
#include "bench/support/ServedDevice.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace bench;

// The device booted once, serving, for the whole program, with the Zorvi page open for describe.
ServedDevice& served() {
    static ServedDevice instance(ZV_BOOT, ZV_ZORVI, {"ui settings tap --label Zorvi"});
    return instance;
}

std::vector<double> versionSamples, tapSamples, describeSamples;

// Runs the command to its exit; its wall time in seconds.
double timed(const std::vector<std::string>& words) {
    int null = ::open("/dev/null", O_WRONLY);
    auto begin = Clock::now();
    pid_t pid = spawn(words, null);
    int status = 0;
    waitpid(pid, &status, 0);
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    ::close(null);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return seconds;
}

void measure(benchmark::State& state, const std::vector<std::string>& words, std::vector<double>& samples) {
    for (auto _ : state) {
        double seconds = timed(words);
        if (seconds < 0) {
            state.SkipWithError("the command failed");
            return;
        }
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
}

void BM_BaselineVersion(benchmark::State& state) {
    measure(state, {ZV_ZORVI, "--version"}, versionSamples);
}

void BM_UiTap(benchmark::State& state) {
    served();
    // Below the rows, where a tap changes nothing: every round trip is the same.
    measure(state, {ZV_ZORVI, "ui", "settings", "tap", "187", "800", "--root", served().device.root},
            tapSamples);
}

void BM_DescribeZorviPage(benchmark::State& state) {
    served();
    measure(state, {ZV_ZORVI, "ui", "settings", "describe", "--json", "--root", served().device.root},
            describeSamples);
}

double idleFraction = -1;

// All the device's processes: the supervisor and its children.
std::vector<pid_t> deviceProcesses() {
    std::vector<pid_t> pids{served().supervisor};
    for (const auto& child : served().children())
        pids.push_back(child.first);
    return pids;
}

void BM_IdleServedDevice(benchmark::State& state) {
    served();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (auto _ : state) {
        std::vector<pid_t> pids = deviceProcesses();
        double before = 0, after = 0;
        for (pid_t pid : pids)
            before += cpuSeconds(pid);
        auto begin = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        for (pid_t pid : pids)
            after += cpuSeconds(pid);
        double wall = std::chrono::duration<double>(Clock::now() - begin).count();
        idleFraction = (after - before) / wall;
        state.SetIterationTime(wall);
        state.counters["processes"] = static_cast<double>(pids.size());
    }
}

} // namespace

BENCHMARK(BM_BaselineVersion)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_UiTap)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_DescribeZorviPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_IdleServedDevice)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double version = median(versionSamples) * 1000, tap = median(tapSamples) * 1000,
           describe = median(describeSamples) * 1000;
    std::printf(
        "median: zorvi --version %.2f ms; ui tap %.2f ms, ratio %.2f; describe --json of the Zorvi page "
        "%.2f ms, ratio %.2f; idle served device %.3f %% of a core\n",
        version, tap, version > 0 ? tap / version : 0.0, describe, version > 0 ? describe / version : 0.0,
        idleFraction * 100);
    return 0;
}
