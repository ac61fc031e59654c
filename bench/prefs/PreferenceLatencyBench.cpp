// How long a setting written with `zorvi defaults write` takes to reach a variable bound to it in
// another running process: from starting the command to the bound variable changing. The baseline,
// measured in the same run, is the time to run `zorvi defaults read` to its end (starting the
// program dominates both).

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/prefs/HBPreferences.h"

#include "bench/support/Processes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* domain = "com.vantrel.zorvi";

struct Device {
    std::string root;
    pid_t listener = -1;
    int changes = -1; // read end: one byte per change the listener saw

    Device() {
        char pattern[] = "/tmp/zorvi-bench-XXXXXX";
        root = ::mkdtemp(pattern);
        std::filesystem::create_directories(root + "/var/mobile/Library/Preferences");
        std::filesystem::create_directories(root + "/System/Library/CoreServices");
        DeviceRoot::setCurrent(root);
        auto version = NSMutableDictionary::dictionary();
        version->setObject(NSString::stringWithUTF8String("14.4"), "ProductVersion");
        PropertyList::writeDictionary("/System/Library/CoreServices/SystemVersion.plist", version);
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            std::abort();
        listener = fork();
        if (listener == 0) {
            close(pipeEnds[0]);
            bool flag = false;
            auto preferences = HBPreferences::initWithIdentifier(domain);
            preferences->registerBool(&flag, false, "enableblend");
            bool seen = flag;
            std::string file = root + "/var/mobile/Library/Preferences/" + domain + ".plist";
            double ready = 0;
            if (write(pipeEnds[1], &ready, sizeof ready) != sizeof ready)
                _exit(1);
            for (;;) {
                DarwinNotificationCenter::shared().waitAndDispatch(1000);
                if (flag != seen) {
                    seen = flag;
                    // How long ago the writer replaced the file: the write-to-variable latency
                    // without the cost of starting the writing program.
                    struct stat info {};
                    stat(file.c_str(), &info);
                    timespec now{};
                    clock_gettime(CLOCK_REALTIME, &now);
                    double sinceWrite =
                        (now.tv_sec - info.st_mtim.tv_sec) + (now.tv_nsec - info.st_mtim.tv_nsec) / 1e9;
                    if (write(pipeEnds[1], &sinceWrite, sizeof sinceWrite) != sizeof sinceWrite)
                        _exit(0);
                }
            }
        }
        close(pipeEnds[1]);
        changes = pipeEnds[0];
        double ready = 0;
        if (read(changes, &ready, sizeof ready) != sizeof ready)
            std::abort();
    }

    ~Device() {
        kill(listener, SIGKILL);
        waitpid(listener, nullptr, 0);
        close(changes);
        std::filesystem::remove_all(root);
    }
};

std::vector<double> writeSamples, baselineSamples, fromFileWrite;

Device& device() {
    static Device instance;
    return instance;
}

pid_t start(const std::vector<std::string>& words) {
    static const int nothing = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    return bench::spawn(words, nothing);
}

void BM_WriteReachesBoundVariable(benchmark::State& state) {
    Device& d = device();
    bool value = false;
    for (auto _ : state) {
        value = !value;
        auto begin = std::chrono::steady_clock::now();
        pid_t writer = start({ZV_ZORVI_PROGRAM, "defaults", "--root", d.root, "write", domain, "enableblend",
                              "-bool", value ? "YES" : "NO"});
        pollfd changed{d.changes, POLLIN, 0};
        bool arrived = poll(&changed, 1, 5000) == 1;
        auto end = std::chrono::steady_clock::now();
        double sinceWrite = 0;
        if (arrived && read(d.changes, &sinceWrite, sizeof sinceWrite) != sizeof sinceWrite)
            arrived = false;
        fromFileWrite.push_back(sinceWrite);
        waitpid(writer, nullptr, 0);
        if (!arrived) {
            state.SkipWithError("the bound variable did not change within 5 s");
            return;
        }
        double seconds = std::chrono::duration<double>(end - begin).count();
        writeSamples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
}

void BM_BaselineDefaultsRead(benchmark::State& state) {
    Device& d = device();
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        pid_t reader = start({ZV_ZORVI_PROGRAM, "defaults", "--root", d.root, "read", domain});
        waitpid(reader, nullptr, 0);
        auto end = std::chrono::steady_clock::now();
        double seconds = std::chrono::duration<double>(end - begin).count();
        baselineSamples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
}

} // namespace

BENCHMARK(BM_BaselineDefaultsRead)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40)
    ->Repetitions(3)
    ->ReportAggregatesOnly();
BENCHMARK(BM_WriteReachesBoundVariable)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double write = bench::median(writeSamples) * 1000, baseline = bench::median(baselineSamples) * 1000;
    std::printf(
        "median: command start to bound variable %.2f ms, defaults read (baseline) %.2f ms, ratio %.2f\n",
        write, baseline, baseline > 0 ? write / baseline : 0.0);
    std::printf("median: file written to bound variable %.3f ms\n", bench::median(fromFileWrite) * 1000);
    return 0;
}
