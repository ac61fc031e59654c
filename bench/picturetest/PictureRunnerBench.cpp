// zorvi test's runner against the work it stands for: 5 cases (the lock screen, a drag, the Settings
// pages, the header after Update, the whole device with custom colours) on 6 devices (12.4 and 14.4,
// three screens), every picture expected and passing. Baseline in the same run: the same headless
// runs done one by one, each on a fresh copy of its cell's device, with the devices made first; the
// runner at two jobs should take about half of that. Wall time of whole rounds.

#include "bench/support/MedianReporter.h"
#include "bench/support/Processes.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using namespace bench;

const std::vector<std::string> systems = {"12.4", "14.4"};
const std::vector<std::string> screens = {"160x284@1", "187x406@1", "375x667@1"};
const std::vector<std::string> cases = {"lock-white.springboard", "drag.springboard", "pages.settings",
                                        "header-update.settings", "custom.boot"};

struct Suite {
    std::string folder;
    Suite() {
        char pattern[] = "/tmp/zorvi-runner-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        std::filesystem::create_directories(folder + "/cases");
        for (const std::string& name : cases)
            std::filesystem::copy_file(std::string(ZV_SOURCE_DIR_TEXT) + "/tests/pictures/" + name,
                                       folder + "/cases/" + name);
        std::ofstream matrix(folder + "/cases/matrix");
        for (const std::string& system : systems)
            for (const std::string& screen : screens)
                matrix << system << " " << screen << "\n";
        matrix.close();
        if (zorviTest("--update") != 0)
            std::abort();
    }
    ~Suite() { std::filesystem::remove_all(folder); }
    int zorviTest(const std::string& options) const {
        std::string command =
            "cd " + folder + " && " + ZV_ZORVI + " test cases --jobs 2 " + options + " > /dev/null";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

Suite& suite() {
    static Suite instance;
    return instance;
}

std::vector<double> oneByOne, runner;

std::string hostFor(const std::string& name) {
    std::string extension = std::filesystem::path(name).extension().string().substr(1);
    return (std::filesystem::path(ZV_ZORVI).parent_path() / ("zv-" + extension)).string();
}

void BM_RunsOneByOne(benchmark::State& state) {
    std::string work = suite().folder + "/one-by-one";
    for (auto _ : state) {
        std::filesystem::remove_all(work);
        std::filesystem::create_directories(work);
        auto begin = Clock::now();
        for (const std::string& system : systems)
            for (const std::string& screen : screens) {
                std::string device = work + "/device-" + system + "-" + screen;
                std::string create = std::string(ZV_ZORVI) + " device create --root " + device +
                                     " --system " + system + " --screen " + screen + " --force > /dev/null";
                if (std::system(create.c_str()) != 0)
                    state.SkipWithError("device create failed");
                for (const std::string& name : cases) {
                    std::string run = work + "/run";
                    std::filesystem::remove_all(run);
                    std::filesystem::create_directories(run);
                    std::filesystem::copy(device, run + "/device",
                                          std::filesystem::copy_options::recursive |
                                              std::filesystem::copy_options::copy_symlinks);
                    std::string command = "cd " + run + " && " + hostFor(name) + " --root " + run +
                                          "/device --headless --script " + suite().folder + "/cases/" + name +
                                          " --trace trace.jsonl > host.log 2>&1";
                    if (std::system(command.c_str()) != 0)
                        state.SkipWithError("a run failed");
                }
            }
        double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        oneByOne.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    std::filesystem::remove_all(work);
}

void BM_ZorviTestTwoJobs(benchmark::State& state) {
    for (auto _ : state) {
        auto begin = Clock::now();
        if (suite().zorviTest("") != 0)
            state.SkipWithError("zorvi test failed");
        double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        runner.push_back(seconds);
        state.SetIterationTime(seconds);
    }
}

BENCHMARK(BM_RunsOneByOne)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_ZorviTestTwoJobs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

} // namespace

int main(int argc, char** argv) {
    initializeInterleaved(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double serial = median(oneByOne), jobs = median(runner);
    std::printf(
        "median: %zu runs one by one %.2f s, zorvi test --jobs 2 %.2f s; ratio to half the runs one by one "
        "%.2f\n",
        systems.size() * screens.size() * cases.size(), serial, jobs, serial > 0 ? jobs / (serial / 2) : 0.0);
    return 0;
}
