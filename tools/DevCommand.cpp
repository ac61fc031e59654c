// zorvi dev: the developer's loop. Boots the device (or uses the booted one), watches the product's
// sources and, on each save, builds the product's targets in the existing build tree, installs what
// the build changed, and restarts exactly what loads it: a Respring for the tweak, Settings (on the
// pages it showed) for the settings bundle. One line a cycle says what changed and where the time
// went; a failed build prints its first errors and leaves the device on the last good build.

#include "platform/foundation/DeviceRoot.h"
#include "tools/Commands.h"
#include "tools/DevBuild.h"
#include "tools/DevDevice.h"
#include "tools/DevInstall.h"
#include "tools/DevRestart.h"
#include "tools/DeviceManage.h"
#include "tools/SourceWatch.h"
#include "tools/TerminalText.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <set>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Saves closer together than this are one change (an editor's temporary file and its rename).
constexpr auto debounce = std::chrono::milliseconds(150);
constexpr auto restartLimit = std::chrono::seconds(20);
constexpr size_t errorLines = 5;
// The product and what it links, under the source folder.
constexpr const char* watchedFolders[] = {"tweak", "wave", "colour", "zorvipref", "platform", "runtime"};

struct DevOptions {
    std::string root;
    std::string build;
    bool headless = false;
};

double secondsSince(Clock::time_point start, Clock::time_point end = Clock::now()) {
    return std::chrono::duration<double>(end - start).count();
}

std::string duration(double seconds) {
    char text[32];
    if (seconds < 1)
        std::snprintf(text, sizeof text, "%.0f ms", seconds * 1000);
    else
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

std::string changedText(const std::set<std::string>& changed) {
    if (changed.empty())
        return "the sources";
    std::string text = terminalSafe(*changed.begin(), false);
    if (changed.size() > 1)
        text += " and " + std::to_string(changed.size() - 1) + " more";
    return text;
}

class DevLoop {
public:
    DevLoop(DevOptions options, std::string source, int signals)
        : m_options(std::move(options)), m_source(std::move(source)), m_signals(signals) {}

    bool watch(std::string& error) {
        std::string names;
        for (const char* folder : watchedFolders) {
            std::string path = m_source + "/" + folder;
            std::error_code failure;
            if (!std::filesystem::is_directory(path, failure))
                continue;
            if (!m_watch.watch(m_source, path, error))
                return false;
            names += (names.empty() ? "" : ", ") + std::string(folder) + "/";
        }
        if (names.empty()) {
            error = "no product sources under " + m_source;
            return false;
        }
        m_watched = names;
        return true;
    }

    // Brings the device up to date with the sources, booting it if it is not booted; false when
    // the loop cannot go on.
    bool start(std::string& error) {
        std::printf("zorvi dev: building the product in %s\n", m_options.build.c_str());
        std::fflush(stdout);
        if (!cycle({}, Clock::now(), deviceIsBooted(DeviceRoot::current())) && m_interrupted)
            return false;
        if (!m_device.bootIfNeeded(m_options.headless, error))
            return false;
        std::printf("zorvi dev: the device at %s %s; watching %s in %s (Ctrl-C ends)\n",
                    DeviceRoot::current().c_str(), m_device.bootedHere() ? "is booted" : "was booted already",
                    m_watched.c_str(), m_source.c_str());
        std::fflush(stdout);
        return true;
    }

    // Until Ctrl-C (130) or the device this booted is shut down (0).
    int run() {
        for (;;) {
            pollfd ready[3] = {{m_watch.descriptor(), POLLIN, 0},
                               {m_signals, POLLIN, 0},
                               {m_device.endedDescriptor(), POLLIN, 0}};
            if (::poll(ready, m_device.endedDescriptor() >= 0 ? 3 : 2, -1) < 0)
                continue;
            if (ready[1].revents & POLLIN)
                return interrupted();
            if (ready[2].revents & POLLIN) {
                std::printf("zorvi dev: the device was shut down; the loop ends\n");
                m_device.shutdown();
                return 0;
            }
            if (!(ready[0].revents & POLLIN))
                continue;
            auto saved = Clock::now();
            std::set<std::string> changed = m_watch.takeBurst(debounce);
            if (changed.empty())
                continue;
            cycle(changed, saved, true);
            if (m_interrupted)
                return interrupted();
        }
    }

private:
    int interrupted() {
        std::printf("\nzorvi dev: interrupted%s\n",
                    m_device.bootedHere() ? "; shutting the device down" : "; the device stays booted");
        std::fflush(stdout);
        m_device.shutdown();
        return 130;
    }

    // One save's build, install and restarts, said in one line; false when the build failed.
    bool cycle(const std::set<std::string>& changed, Clock::time_point saved, bool restart) {
        auto platform = sharedLibraries(m_options.build);
        // Saves made meanwhile wait in the watch: they are the next cycle's.
        BuildOutcome build = buildTargets(m_options.build, productTargets(changed), m_signals);
        if (build.interrupted) {
            m_interrupted = true;
            return false;
        }
        std::string line = changedText(changed) + ": build " + duration(build.seconds);
        if (!build.built) {
            std::printf("%s, failed; the device keeps the last good build:\n", line.c_str());
            for (std::string error : firstErrors(build.output, errorLines)) {
                if (error.rfind(m_source + "/", 0) == 0)
                    error.erase(0, m_source.size() + 1);
                std::printf("  %s\n", terminalSafe(error, false).c_str());
            }
            std::fflush(stdout);
            return false;
        }
        auto installing = Clock::now();
        InstallChange change;
        std::string error;
        bool installed = installChanges(m_options.build + "/lib", change, error);
        // A rebuilt platform library is loaded by both, whatever the product's own files did.
        if (sharedLibraries(m_options.build) != platform) {
            change.tweak = change.bundle = true;
            change.files.push_back("the platform's libraries");
        }
        line += ", install " + duration(secondsSince(installing));
        if (!installed)
            line += " (" + error + ")";
        if (change.files.empty()) {
            std::printf("%s, no installed file changed, nothing restarted\n", line.c_str());
            std::fflush(stdout);
            return true;
        }
        if (!restart) {
            std::printf("%s (%s)\n", line.c_str(),
                        change.tweak && change.bundle ? "tweak and settings bundle"
                        : change.tweak                ? "tweak"
                                                      : "settings bundle");
            std::fflush(stdout);
            return true;
        }
        Clock::time_point last{};
        for (const char* process : {"springboard", "settings"}) {
            if (std::string(process) == "springboard" ? !change.tweak : !change.bundle)
                continue;
            auto restarting = Clock::now();
            Restarted restarted = restartDeviceProcess(process, restartLimit);
            std::string name = std::string(process) == "springboard" ? "Respring" : "Settings restart";
            if (!restarted.done) {
                line += ", " + name + " failed: " + restarted.error;
                continue;
            }
            line += ", " + name + " " + duration(secondsSince(restarting, restarted.frame));
            last = std::max(last, restarted.frame);
        }
        if (last != Clock::time_point{})
            line += ", first frame " + duration(secondsSince(saved, last)) + " after the save";
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        return true;
    }

    DevOptions m_options;
    std::string m_source;
    int m_signals;
    SourceWatch m_watch;
    std::string m_watched;
    DevDevice m_device;
    bool m_interrupted = false;
};

// The build tree this program was built in: ../ from its bin folder.
std::string ownBuildTree() {
    std::error_code failure;
    auto self = std::filesystem::read_symlink("/proc/self/exe", failure);
    return failure ? std::string() : self.parent_path().parent_path().string();
}

// Ctrl-C and the like, as a descriptor the loop waits on with everything else; what this starts
// gets the default handling back.
class Signals {
public:
    Signals() {
        sigemptyset(&m_set);
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&m_set, signal);
        ::sigprocmask(SIG_BLOCK, &m_set, &m_old);
        m_fd = ::signalfd(-1, &m_set, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~Signals() {
        if (m_fd >= 0)
            ::close(m_fd);
        ::sigprocmask(SIG_SETMASK, &m_old, nullptr);
    }
    Signals(const Signals&) = delete;
    Signals& operator=(const Signals&) = delete;
    int descriptor() const { return m_fd; }

private:
    sigset_t m_set{}, m_old{};
    int m_fd = -1;
};

int dev(const DevOptions& given, const CLI::App& command) {
    if (!selectDevice(given.root, command))
        return 1;
    DevOptions options = given;
    if (options.build.empty())
        options.build = ownBuildTree();
    std::error_code failure;
    options.build = std::filesystem::absolute(options.build, failure).lexically_normal().string();
    if (!options.build.empty() && options.build.back() == '/')
        options.build.pop_back();
    std::string source = buildTreeSource(options.build);
    if (source.empty())
        return commandFailure(command,
                              "no CMake build tree at " + options.build +
                                  " (configure one with 'cmake -S . -B build', or name it with --build)");
    Signals signals;
    if (signals.descriptor() < 0)
        return commandFailure(command, "cannot wait for Ctrl-C");
    DevLoop loop(options, source, signals.descriptor());
    std::string error;
    if (!loop.watch(error))
        return commandFailure(command, error);
    if (!loop.start(error))
        return error.empty() ? 130 : commandFailure(command, error);
    return loop.run();
}

} // namespace

void addDevCommand(Commands& commands) {
    auto options = std::make_shared<DevOptions>();
    CLI::App* dev = commands.add(
        commands.program(), "dev",
        "the developer's loop: boots the device (or uses the booted one), and on each save of the "
        "product's sources rebuilds it, installs it and restarts what loads it (Ctrl-C ends)",
        [options](const CLI::App& command) { return ::dev(*options, command); });
    addRootOption(*dev, options->root);
    dev->add_option("--build", options->build, "the CMake build tree (default: the one zorvi was built in)")
        ->type_name("DIR")
        ->check(CLI::Validator(
            [](std::string& value) { return value.empty() ? std::string("wants a folder") : std::string(); },
            ""));
    dev->add_flag("--headless", options->headless, "boots the device without windows, serving");
}
