// zv-boot: the device's supervisor.
//
//   zv-boot [--root DIR] [--headless] [--script FILE|-] [--trace FILE]
//
// Headless, a script line is for one process ("springboard: COMMAND", "settings: COMMAND") or the
// supervisor's own: wait-for PROCESS EVENT [MS], kill PROCESS SIGNAL, pause MS, state.

#include "hosts/boot/Supervisor.h"
#include "hosts/common/HostOptions.h"
#include "hosts/common/ScriptReader.h"
#include "hosts/common/SignalNames.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

Supervisor* running = nullptr;

constexpr double defaultWait = 10000;
constexpr double longestWait = 3600 * 1000.0;

std::string millisecondsText(double milliseconds) {
    std::ostringstream text;
    text << milliseconds;
    return text.str();
}

void fail(Supervisor& supervisor, const ScriptLine& line, const std::string& message) {
    supervisor.fail("line " + std::to_string(line.number) + ": " + message);
}

void runLine(Supervisor& supervisor, Trace& trace, const ScriptLine& line) {
    const auto& w = line.words;
    if (w.empty())
        return fail(supervisor, line, "line too long");
    const std::string& first = w[0];
    if (first == "springboard:" || first == "settings:") {
        std::string command;
        for (size_t i = 1; i < w.size(); ++i)
            command += (i > 1 ? " " : "") + w[i];
        std::string process = first.substr(0, first.size() - 1);
        // A first word starting with '#' would be a comment to the process, never run.
        if (command.empty() || command[0] == '#')
            return fail(supervisor, line, "no command for " + process);
        auto sent = supervisor.send(process, command);
        if (sent == Supervisor::Sent::NotRunning)
            return fail(supervisor, line, process + " is not running");
        if (sent == Supervisor::Sent::QueueFull)
            return fail(supervisor, line,
                        process +
                            " is not taking its commands: " + std::to_string(Supervisor::maxQueuedBytes) +
                            " bytes of them wait already; this one is dropped");
        supervisor.serve(0);
    } else if (first == "wait-for" && (w.size() == 3 || w.size() == 4)) {
        auto ms = w.size() == 4 ? parseNumber(w[3]) : std::optional<double>(defaultWait);
        if (!ms || *ms < 0 || *ms > longestWait)
            return fail(supervisor, line, "usage: wait-for PROCESS EVENT [MS]");
        std::string why;
        auto waited = supervisor.waitFor(w[1], w[2], *ms, why);
        if (waited == Supervisor::Waited::CannotCome)
            fail(supervisor, line, "wait-for " + w[1] + " " + w[2] + ": " + why);
        else if (waited == Supervisor::Waited::TimedOut && !supervisor.stopping())
            fail(supervisor, line,
                 w[1] + " did not write " + w[2] + " within " + millisecondsText(*ms) + " ms");
    } else if (first == "kill" && w.size() == 3) {
        int signal = signalNamed(w[2]);
        if (!signal)
            return fail(supervisor, line, "not a signal: " + w[2]);
        if (!supervisor.kill(w[1], signal))
            fail(supervisor, line, w[1] + " is not running");
        supervisor.serve(0);
    } else if (first == "pause" && w.size() == 2) {
        auto ms = parseNumber(w[1]);
        if (!ms || *ms < 0 || *ms > longestWait)
            return fail(supervisor, line, "usage: pause MS");
        supervisor.serve(*ms);
    } else if (first == "state" && w.size() == 1) {
        std::string fields = supervisor.stateText();
        trace.writeRaw("state", "{\"process\":\"supervisor\"," + fields.substr(1));
    } else {
        fail(supervisor, line, "cannot run '" + first + "'");
    }
}

// What a person reads once a device serves: which device, and the commands that drive it.
void printHowToDrive(const std::string& root) {
    std::string quoted = "'" + root + "'";
    std::fprintf(
        stderr,
        "zorvi boot: the device at %s is booted, headless, and serves until 'zorvi shutdown' or Ctrl-C.\n"
        "Drive it from another shell (each command takes --root %s):\n"
        "  zorvi ui springboard describe          what the lock screen shows (--json for a tool)\n"
        "  zorvi ui settings tap --label Zorvi    a finger on Settings (tap, swipe, text, key, wait)\n"
        "  zorvi io springboard screenshot FILE   a picture in device pixels (record start FILE | stop)\n"
        "  zorvi send settings state              any script line; its events as trace lines\n"
        "  zorvi status-bar override --time 9:41  both status bars pinned (clear lets them go)\n"
        "  zorvi shutdown                         shuts the device down\n",
        root.c_str(), quoted.c_str());
}

// 130 when interrupted, 1 when the trace holds an error (a line that could not run, here or in a
// process), else 0.
int exitStatus(const Supervisor& supervisor) {
    if (supervisor.interrupted())
        return 130;
    return supervisor.errors() > 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    HostOptions options(HostKind::Boot);
    if (int status = options.parse(argc, argv); status >= 0)
        return status;
    Trace trace;
    if (int status = options.openTrace(trace); status >= 0)
        return status;
    std::string error;
    std::error_code failure;
    auto self = std::filesystem::read_symlink("/proc/self/exe", failure);
    // Without a display there is nothing to show windows on: the device serves, headless.
    bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("SDL_VIDEODRIVER");
    bool serving = options.arguments.serve || (!options.arguments.headless && !display) ||
                   (options.arguments.headless && !options.script());
    bool headless = options.arguments.headless || serving;
    Supervisor::Options settings{options.arguments.root, headless, self.parent_path().string(), serving};
    Supervisor supervisor(settings, trace);
    running = &supervisor;
    struct sigaction action {};
    action.sa_handler = [](int) {
        if (running)
            running->interrupt();
    };
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    if (!supervisor.boot(error))
        return options.failure(error);
    if (serving)
        printHowToDrive(options.arguments.root);
    if (options.script()) {
        ScriptReader reader(*options.script());
        while (!supervisor.stopping()) {
            auto line = reader.next();
            if (!line)
                break;
            runLine(supervisor, trace, *line);
        }
        if ((headless && !options.arguments.serve) || supervisor.stopping()) {
            supervisor.shutdown();
            return options.finish(trace, exitStatus(supervisor));
        }
    }
    // Until it is told to stop (or, with windows, until a window is closed and not restarted).
    supervisor.serve(-1);
    supervisor.shutdown();
    return options.finish(trace, exitStatus(supervisor));
}
