// zorvi springboard, zorvi settings, zorvi boot: run the device's processes (zv-springboard,
// zv-settings, zv-boot beside this program), once their command line has been checked here with the
// same definitions they read it with.

#include "hosts/common/HostCommandLine.h"
#include "tools/Commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

std::vector<std::string> hostWords(const HostArguments& arguments) {
    std::vector<std::string> words;
    auto add = [&](const char* option, const std::string& value) {
        if (!value.empty()) {
            words.push_back(option);
            words.push_back(value);
        }
    };
    add("--root", arguments.root);
    if (arguments.headless)
        words.push_back("--headless");
    if (arguments.serve)
        words.push_back("--serve");
    add("--script", arguments.script);
    add("--trace", arguments.trace);
    add("--record", arguments.record);
    for (const std::string& name : arguments.withClasses)
        add("--with-class", name);
    add("--safe-mode", arguments.safeMode);
    add("--date", arguments.date);
    return words;
}

int execHost(const CLI::App& command, const char* program, const std::vector<std::string>& words) {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    std::string host = (self.parent_path() / program).string();
    std::vector<char*> argv;
    argv.push_back(host.data());
    for (const auto& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    ::execv(host.c_str(), argv.data());
    return commandFailure(command, "cannot run " + host + ": " + std::strerror(errno));
}

void addHost(Commands& commands, HostKind kind, const char* program) {
    auto arguments = std::make_shared<HostArguments>();
    CLI::App* command = commands.add(commands.program(), hostCommandName(kind), "",
                                     [arguments, program](const CLI::App& command) {
                                         return execHost(command, program, hostWords(*arguments));
                                     });
    defineHostCommandLine(*command, kind, *arguments);
}

} // namespace

void addHostCommands(Commands& commands) {
    addHost(commands, HostKind::Boot, "zv-boot");
    addHost(commands, HostKind::SpringBoard, "zv-springboard");
    addHost(commands, HostKind::Settings, "zv-settings");
}
