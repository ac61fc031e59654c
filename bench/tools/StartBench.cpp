// How long `zorvi` takes to start and end for the commands a person or a script types most often,
// against /bin/true started the same way in the same run (the cost of any program's start on this
// machine). Each iteration runs the baseline and the command one after the other, so a busy moment
// of the machine weighs on both; the counters give the medians and their ratio.

#include "bench/support/Processes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using bench::Clock;

// Runs the program to its end with its output discarded; answers the wall time in microseconds.
double runOnce(const std::vector<std::string>& words) {
    static const int nothing = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    auto begin = Clock::now();
    pid_t pid = bench::spawn(words, nothing);
    if (pid <= 0)
        std::abort();
    ::waitpid(pid, nullptr, 0);
    return std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
}

// A device folder with a preferences file to read and write (what the defaults command needs).
const std::string& deviceRoot() {
    static std::string root = [] {
        char pattern[] = "/tmp/zorvi-start-bench-XXXXXX";
        std::string folder = ::mkdtemp(pattern);
        std::filesystem::create_directories(folder + "/var/mobile/Library/Preferences");
        std::filesystem::create_directories(folder + "/System/Library/CoreServices");
        std::ofstream(folder + "/System/Library/CoreServices/SystemVersion.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>ProductVersion</key><string>14.4</string></dict></plist>\n";
        std::string write = std::string(ZV_ZORVI_PROGRAM) + " defaults --root " + folder +
                            " write com.vantrel.zorvi enableblend -bool YES > /dev/null";
        if (std::system(write.c_str()) != 0)
            std::abort();
        std::atexit([] { std::filesystem::remove_all(deviceRoot()); });
        return folder;
    }();
    return root;
}

void measure(benchmark::State& state, std::vector<std::string> words) {
    std::vector<double> baseline, command;
    for (auto _ : state) {
        baseline.push_back(runOnce({"/bin/true"}));
        command.push_back(runOnce(words));
    }
    state.counters["true_us"] = bench::median(baseline);
    state.counters["command_us"] = bench::median(command);
    state.counters["ratio"] = bench::median(command) / bench::median(baseline);
}

void BM_Version(benchmark::State& state) {
    measure(state, {ZV_ZORVI_PROGRAM, "--version"});
}
void BM_UsageError(benchmark::State& state) {
    measure(state, {ZV_ZORVI_PROGRAM, "frobnicate"});
}
void BM_DefaultsRead(benchmark::State& state) {
    measure(state, {ZV_ZORVI_PROGRAM, "defaults", "--root", deviceRoot(), "read", "com.vantrel.zorvi",
                    "enableblend"});
}
void BM_DefaultsWrite(benchmark::State& state) {
    measure(state, {ZV_ZORVI_PROGRAM, "defaults", "--root", deviceRoot(), "write", "com.vantrel.zorvi",
                    "enableblend", "-bool", "NO"});
}

BENCHMARK(BM_Version)->Iterations(300)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UsageError)->Iterations(300)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DefaultsRead)->Iterations(300)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DefaultsWrite)->Iterations(300)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
