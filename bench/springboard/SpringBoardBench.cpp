// The lock-screen process as a person meets it, on a default device (375 x 812 points, scale 3,
// 60 Hz) with the tweak installed:
//
// - Start-up: from starting the process to the first frame of the lock screen drawn (headless,
//   the "frame" event of a script's `render`). Baseline in the same run: starting the same program
//   to the point where it rejects a bad command line (loading its libraries, nothing more).
// - Animation: CPU used per second of animation in the steady state, in the window under Xvfb, as
//   a fraction of one core. Baseline in the same run: the same window with the waves stopped (a
//   finger held below the launch line), which costs only the event and refresh loop.

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

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Device {
    std::string folder;
    std::string root;
    Device() {
        char pattern[] = "/tmp/zorvi-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        root = folder + "/device";
        std::string command = std::string(ZV_ZORVI) + " device create --root " + root + " > /dev/null";
        if (std::system(command.c_str()) != 0)
            std::abort();
    }
    ~Device() { std::filesystem::remove_all(folder); }
    std::string file(const std::string& name, const std::string& text) const {
        std::string path = folder + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
};

Device& device() {
    static Device instance;
    return instance;
}

pid_t spawn(const std::vector<std::string>& words, int outputFd,
            const std::vector<std::string>& extraEnvironment = {}) {
    std::vector<char*> argv;
    for (const auto& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        environment.push_back(*e);
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, words[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::vector<double> startupSamples, baselineSamples;

double median(std::vector<double> samples) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Reads the child's trace until a line containing `marker`; answers when it arrived.
bool waitForLine(int fd, const std::string& marker) {
    std::string seen;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        seen.append(buffer, static_cast<size_t>(got));
        if (seen.find(marker) != std::string::npos)
            return true;
    }
    return false;
}

void BM_StartToFirstFrame(benchmark::State& state) {
    std::string script = device().file("first-frame.txt", "render\n");
    for (auto _ : state) {
        int ends[2];
        if (pipe(ends) != 0)
            std::abort();
        auto begin = Clock::now();
        pid_t host =
            spawn({ZV_SPRINGBOARD, "--root", device().root, "--headless", "--script", script}, ends[1]);
        close(ends[1]);
        bool drawn = waitForLine(ends[0], "\"frame\"");
        double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        close(ends[0]);
        waitpid(host, nullptr, 0);
        if (!drawn) {
            state.SkipWithError("no frame was drawn");
            return;
        }
        startupSamples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
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

// CPU seconds (user + system) a process has used so far.
double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    std::string field;
    for (char c : text.substr(close + 2)) {
        if (c == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (fields.size() < 13)
        return 0;
    double ticks = std::stod(fields[11]) + std::stod(fields[12]);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Xvfb {
    pid_t pid = -1;
    std::string display;
    Xvfb() {
        display = ":" + std::to_string(90 + getpid() % 9);
        int null = ::open("/dev/null", O_WRONLY);
        pid = spawn({"/usr/bin/Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, null);
        close(null);
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    }
    ~Xvfb() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

double windowCpuFraction(const std::string& script) {
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
    double cpuBefore = cpuSeconds(host);
    auto begin = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(8));
    double cpu = cpuSeconds(host) - cpuBefore;
    double wall = std::chrono::duration<double>(Clock::now() - begin).count();
    kill(host, SIGTERM);
    waitpid(host, nullptr, 0);
    return cpu / wall;
}

double animatingFraction = -1, stillFraction = -1;

void BM_WindowAnimationCpu(benchmark::State& state) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) {
        state.SkipWithError("Xvfb is not installed");
        return;
    }
    // The median of three runs: the machine is shared, and CPU time is counted in 10 ms ticks.
    for (auto _ : state) {
        std::vector<double> runs;
        for (int i = 0; i < 3; ++i)
            runs.push_back(windowCpuFraction(""));
        animatingFraction = median(runs);
        state.SetIterationTime(8);
    }
    state.counters["core_fraction"] = animatingFraction;
}

void BM_BaselineWindowStill(benchmark::State& state) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) {
        state.SkipWithError("Xvfb is not installed");
        return;
    }
    std::string script = device().file("still.txt", "pan 1 begin\npan 1 move 0 200\n");
    for (auto _ : state) {
        stillFraction = windowCpuFraction(script);
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
    return 0;
}
