#pragma once

// A small parser for the subcommands' options: "--name VALUE" pairs and "--flag" switches, then
// positional words. Unknown options and missing values are errors with a clear message.

#include "tools/Commands.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class CommandLine {
public:
    // valued: options that take a value ("--root"); flags: options that do not ("--force").
    // Options are read until the first positional word when stopAtPositional is set (so that
    // "defaults write D K -string V" keeps its own dashes).
    static std::optional<CommandLine> parse(const Arguments& args, const std::set<std::string>& valued,
                                            const std::set<std::string>& flags, std::string& error,
                                            bool stopAtPositional = false);

    std::optional<std::string> value(const std::string& option) const;
    bool flag(const std::string& option) const { return m_flags.count(option) > 0; }
    const std::vector<std::string>& positional() const { return m_positional; }

private:
    std::map<std::string, std::string> m_values;
    std::set<std::string> m_flags;
    std::vector<std::string> m_positional;
};

// Prints "zorvi COMMAND: message" to stderr and answers 2, the exit status of a bad command line.
int commandLineError(const char* command, const std::string& message);
// Sets the device root from --root (or the user's default device); false with a message when the
// folder is unusable. requireDevice: the root must hold a device already.
bool selectDevice(const CommandLine& line, const char* command, bool requireDevice);
