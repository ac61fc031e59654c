// The developer's loop as a person waits for it: a one-line change written to tweak/Scene.cpp, to
// the new lock screen's first frame, as `zorvi dev` reports it (its cycle line is printed once the
// frame is drawn). Baseline in the same run: `cmake --build --target Zorvi` alone for the same
// change, which is what the loop cannot do without. Both run on a temporary copy of the sources
// and a build tree of its own, built once before the measurements (minutes on 2 cores), with a
// device booted and serving throughout; the loop's Respring time is read from its line.
//
// Run it alone on the machine (its builds are the measurement): flock /tmp/zorvi-build.lock
// build/bin/dev_bench

#include "bench/support/MedianReporter.h"
#include "bench/support/Processes.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <poll.h>

namespace {

using namespace bench;
namespace fs = std::filesystem;

int change = 0;
std::vector<double> loopSamples, buildSamples, restartSamples;

struct Workspace {
    std::string folder, source, build, device;
    pid_t serving = -1;
    bool ready = false;

    Workspace() {
        char pattern[] = "/tmp/zorvi-dev-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        source = folder + "/src";
        build = folder + "/build";
        device = folder + "/device";
        fs::create_directories(source);
        for (const auto& entry : fs::directory_iterator(ZV_SOURCE_DIR_TEXT)) {
            std::string name = entry.path().filename().string();
            if (name.rfind("build", 0) == 0 || name == ".git")
                continue;
            fs::copy(entry.path(), source + "/" + name, fs::copy_options::recursive);
        }
        std::fprintf(stderr, "dev_bench: building the product in %s once (minutes)\n", build.c_str());
        std::string configure = "cmake -S " + source + " -B " + build +
                                " -DCMAKE_BUILD_TYPE=" + ZV_BUILD_TYPE + " -DZV_BENCH=OFF > " + folder +
                                "/setup.log 2>&1";
        std::string compile =
            "cmake --build " + build + " -j2 --target Zorvi zorvipref >> " + folder + "/setup.log 2>&1";
        std::string create = std::string(ZV_ZORVI) + " device create --root " + device + " > /dev/null";
        if (std::system(configure.c_str()) != 0 || std::system(compile.c_str()) != 0 ||
            std::system(create.c_str()) != 0)
            return;
        // Served for the whole run: each loop uses it as it finds it booted.
        int null = ::open("/dev/null", O_WRONLY);
        serving = spawn({ZV_ZORVI, "boot", "--serve", "--root", device}, null);
        ::close(null);
        std::string probe =
            std::string(ZV_ZORVI) + " send springboard render --root " + device + " > /dev/null 2>&1";
        for (int tries = 0; tries < 600 && !ready; ++tries) {
            ready = std::system(probe.c_str()) == 0;
            if (!ready)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ~Workspace() {
        if (serving > 0) {
            std::system((std::string(ZV_ZORVI) + " shutdown --root " + device + " > /dev/null 2>&1").c_str());
            ::waitpid(serving, nullptr, 0);
        }
        fs::remove_all(folder);
    }
    // The one-line change: a function of its own appended to the scene, a different one each time.
    void changeScene() {
        std::string path = source + "/tweak/Scene.cpp";
        std::ifstream in(path);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        in.close();
        const std::string marker = "extern \"C\" int zvBenchChange";
        if (size_t at = text.find(marker); at != std::string::npos)
            text.erase(at);
        text += marker + "() { return " + std::to_string(++change) + "; }\n";
        std::ofstream(path, std::ios::trunc) << text;
    }
};

Workspace& workspace() {
    static Workspace instance;
    return instance;
}

// Reads the loop's output until a line containing `marker`, within `limit`.
std::optional<std::string> lineWith(int fd, std::string& pending, const std::string& marker, int limitMs) {
    auto until = Clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        size_t newline;
        while ((newline = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            if (line.find(marker) != std::string::npos)
                return line;
        }
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
        pollfd ready{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&ready, 1, left) <= 0)
            return std::nullopt;
        char buffer[4096];
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return std::nullopt;
        pending.append(buffer, static_cast<size_t>(got));
    }
}

void BM_CmakeBuildOfTheTweak(benchmark::State& state) {
    Workspace& w = workspace();
    if (!w.ready) {
        state.SkipWithError("the workspace could not be built (see its setup.log)");
        return;
    }
    std::string command = "cmake --build " + w.build + " -j2 --target Zorvi > /dev/null 2>&1";
    for (auto _ : state) {
        w.changeScene();
        auto begin = Clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("the build failed");
            return;
        }
        double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        buildSamples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
}

void BM_DevSaveToFirstFrame(benchmark::State& state) {
    Workspace& w = workspace();
    if (!w.ready) {
        state.SkipWithError("the workspace could not be built (see its setup.log)");
        return;
    }
    for (auto _ : state) {
        int ends[2];
        if (::pipe(ends) != 0)
            std::abort();
        pid_t dev = spawn({ZV_ZORVI, "dev", "--root", w.device, "--build", w.build, "--headless"}, ends[1]);
        ::close(ends[1]);
        std::string pending;
        if (!lineWith(ends[0], pending, "watching", 600000)) {
            state.SkipWithError("zorvi dev did not start");
            return;
        }
        w.changeScene();
        auto begin = Clock::now();
        auto line = lineWith(ends[0], pending, "first frame", 600000);
        double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        ::kill(dev, SIGINT);
        ::waitpid(dev, nullptr, 0);
        ::close(ends[0]);
        // Where the loop's time went, as it says it.
        std::fprintf(stderr, "zorvi dev: %s\n", line ? line->c_str() : "(no line)");
        const char* respring = line ? std::strstr(line->c_str(), "Respring ") : nullptr;
        if (!respring) {
            state.SkipWithError("no Respring in the loop's line");
            return;
        }
        char* unit = nullptr;
        double amount = std::strtod(respring + 9, &unit);
        restartSamples.push_back(std::strncmp(unit, " ms", 3) == 0 ? amount / 1000 : amount);
        loopSamples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
}

} // namespace

BENCHMARK(BM_CmakeBuildOfTheTweak)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_DevSaveToFirstFrame)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5);

int main(int argc, char** argv) {
    initializeInterleaved(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double loop = median(loopSamples), build = median(buildSamples), restart = median(restartSamples);
    std::printf(
        "median: save to the new lock screen's first frame %.2f s (its Respring %.0f ms), cmake --build of "
        "the tweak alone %.2f s, ratio %.2f\n",
        loop, restart * 1000, build, build > 0 ? loop / build : 0.0);
    return 0;
}
