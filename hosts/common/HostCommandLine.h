#pragma once

// The command line of the device's programs: zv-springboard, zv-settings and zv-boot take it, and
// `zorvi springboard`, `zorvi settings` and `zorvi boot` check it with the same definitions before
// they start them.

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

enum class HostKind { SpringBoard, Settings, Boot };

struct HostArguments {
    std::string root; // empty: the default device
    bool headless = false;
    std::string script; // a file, "-" for standard input, empty for none
    std::string trace;
    std::string record; // a recording of the whole run (not for a whole device)
    // Serves the device's control socket for this process (a booted device's supervisor asks it).
    bool control = false;
    // Headless on this machine's time rather than a virtual clock: a served device's processes,
    // which nobody drives between the lines sent to them (the supervisor asks it).
    bool realTime = false;
    // Says which script lines ran ("ran" events), for the supervisor that feeds the script.
    bool acknowledgeLines = false;
    // Settings started again by the supervisor opens the pages it had (SettingsPages.h).
    bool reopenPages = false;
    // A whole device: headless, serving until it is shut down (after the script, when one is given).
    bool serve = false;
    // The lock screen's own.
    std::vector<std::string> withClasses;
    std::string safeMode;
    std::string date;
};

// The name the host goes by in messages and help ("springboard").
const char* hostCommandName(HostKind kind);

// Adds the host's options (and its description) to app; what is given lands in arguments, which
// must outlive the parse.
void defineHostCommandLine(CLI::App& app, HostKind kind, HostArguments& arguments);
// Reads a host program's own command line (the words after its name) into arguments: -1 to go on,
// 0 after --help, 2 for a bad command line (the message printed).
int parseHostCommandLine(HostKind kind, const std::vector<std::string>& words, HostArguments& arguments);

// "YYYY-MM-DD HH:MM" (or with a T between), read as UTC; nullopt for anything else, a day past
// its month's end among it.
std::optional<std::time_t> parseClockStart(const std::string& text);
