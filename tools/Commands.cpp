#include "tools/Commands.h"
#include "hosts/common/CommandLine.h"
#include "platform/foundation/DeviceProfile.h"
#include "platform/foundation/DeviceRoot.h"
#include "tools/picturetest/DeviceMatrix.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

namespace {

// The systems a device stands in for: the first with a lock screen like this one's to the latest.
constexpr int oldestSystem = 7, newestSystem = 26;

// One to three numbers of one to three digits, separated by dots ("14.4", "12.4.1"), the first of
// them a system that exists.
bool validSystemVersion(const std::string& text) {
    int major = std::atoi(text.c_str());
    if (major < oldestSystem || major > newestSystem)
        return false;
    int parts = 0;
    size_t start = 0;
    while (true) {
        size_t dot = text.find('.', start);
        std::string part = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos ||
            ++parts > 3)
            return false;
        if (dot == std::string::npos)
            return true;
        start = dot + 1;
    }
}

} // namespace

std::string systemVersionProblem(const std::string& text) {
    return validSystemVersion(text)
               ? std::string()
               : "not a system version: " + text + " (from " + std::to_string(oldestSystem) + " to " +
                     std::to_string(newestSystem) + ", such as 14.4 or 12.4.1)";
}

std::string screenProblem(const std::string& text) {
    return DeviceProfile::parseScreen(text) ? std::string()
                                            : "not a screen: " + text + " (WxH@S, such as 375x812@3)";
}

CLI::Validator listCheck(std::string (*problem)(const std::string&)) {
    return CLI::Validator(
        [problem](std::string& text) {
            std::vector<std::string> words = splitList(text);
            if (words.empty())
                return std::string("wants a comma-separated list");
            for (const std::string& word : words)
                if (std::string found = problem(word); !found.empty())
                    return found;
            return std::string();
        },
        "");
}

CLI::App* Commands::add(CLI::App& parent, const std::string& name, const std::string& description,
                        Action action) {
    // One command a line: a later word that names another command is a mistake, not a second command.
    parent.require_subcommand(0, 1);
    CLI::App* command = parent.add_subcommand(name, description);
    command->group(&parent == &m_program ? "Commands" : "Verbs");
    if (&parent != &m_program)
        command->fallthrough();
    if (action)
        m_actions[command] = std::move(action);
    return command;
}

int Commands::run(const std::vector<std::string>& words) {
    if (int status = CommandLine::parse(m_program, words); status >= 0)
        return status;
    CLI::App& chosen = CommandLine::chosen(m_program);
    auto action = m_actions.find(&chosen);
    if (action == m_actions.end()) {
        if (&chosen == &m_program) {
            std::fputs(CommandLine::help(m_program).c_str(), stderr);
            return 2;
        }
        std::string names;
        for (const CLI::App* verb : chosen.get_subcommands([](const CLI::App*) { return true; }))
            names += (names.empty() ? "" : ", ") + verb->get_name();
        return CommandLine::usageError(chosen, "which one? (" + names + ")");
    }
    try {
        return action->second(chosen);
    } catch (const std::exception& e) {
        return commandFailure(chosen, e.what());
    }
}

namespace {

// Each command's definitions, in the order the help lists them, by the words that choose them.
struct CommandFamily {
    std::vector<const char*> names;
    void (*add)(Commands&);
};

const std::vector<CommandFamily>& commandFamilies() {
    static const std::vector<CommandFamily> families = {
        {{"device"}, addDeviceCommand},
        {{"boot", "springboard", "settings"}, addHostCommands},
        {{"respring"}, addRespringCommand},
        {{"shutdown"}, addShutdownCommand},
        {{"dev"}, addDevCommand},
        {{"ui"}, addUiCommand},
        {{"io"}, addIoCommand},
        {{"send"}, addSendCommand},
        {{"status-bar"}, addStatusBarCommand},
        {{"log"}, addLogCommand},
        {{"defaults"}, addDefaultsCommand},
        {{"wallpaper"}, addWallpaperCommand},
        {{"waves"}, addWavesCommand},
        {{"record"}, addRecordCommand},
        {{"test"}, addTestCommand},
        {{"matrix"}, addMatrixCommand},
        {{"help"}, addHelpCommand},
    };
    return families;
}

} // namespace

void addAllCommands(Commands& commands) {
    for (const CommandFamily& family : commandFamilies())
        family.add(commands);
}

void addCommandsFor(Commands& commands, const std::vector<std::string>& words) {
    if (words.empty() || words[0].empty() || words[0][0] == '-' || words[0] == "help") {
        addAllCommands(commands);
        return;
    }
    for (const CommandFamily& family : commandFamilies()) {
        if (std::find(family.names.begin(), family.names.end(), words[0]) != family.names.end()) {
            family.add(commands);
            return;
        }
    }
    // A word that is no command: its usage error needs only the commands' names, for the suggestion.
    for (const std::string& name : commandNames())
        commands.program().add_subcommand(name, "");
}

std::vector<std::string> commandNames() {
    std::vector<std::string> names;
    for (const CommandFamily& family : commandFamilies())
        names.insert(names.end(), family.names.begin(), family.names.end());
    return names;
}

bool namesNoCommand(const std::vector<std::string>& words) {
    if (words.empty() || words[0].empty() || words[0][0] == '-')
        return false;
    std::vector<std::string> names = commandNames();
    return std::find(names.begin(), names.end(), words[0]) == names.end();
}

std::vector<std::string> commandFamilyNames(size_t family) {
    if (family >= commandFamilies().size())
        return {};
    const auto& names = commandFamilies()[family].names;
    return std::vector<std::string>(names.begin(), names.end());
}

void addCommandFamily(Commands& commands, size_t family) {
    if (family < commandFamilies().size())
        commandFamilies()[family].add(commands);
}

CLI::Option* addRootOption(CLI::App& command, std::string& root) {
    return command
        .add_option("--root", root, "the device folder (default: " + DeviceRoot::defaultDirectory() + ")")
        ->type_name("DIR")
        ->check(CLI::Validator(
            [](std::string& value) { return value.empty() ? std::string("wants a folder") : std::string(); },
            ""));
}

CLI::Option* addScreenOption(CLI::App& command, std::string& screen, const std::string& description) {
    return command.add_option("--screen", screen, description)
        ->type_name("WxH@S")
        ->check(CLI::Validator([](std::string& text) { return screenProblem(text); }, ""));
}

CLI::Option* addSystemOption(CLI::App& command, std::string& system, const std::string& description) {
    return command.add_option("--system", system, description)
        ->type_name("VERSION")
        ->check(CLI::Validator([](std::string& text) { return systemVersionProblem(text); }, ""));
}

bool selectDevice(const std::string& root, const CLI::App& command) {
    std::string folder = root.empty() ? DeviceRoot::defaultDirectory() : root;
    std::error_code error;
    if (!std::filesystem::is_regular_file(folder + "/System/Library/CoreServices/SystemVersion.plist",
                                          error)) {
        commandFailure(command, "no device at " + folder + " (make one with 'zorvi device create --root " +
                                    folder + "')");
        return false;
    }
    DeviceRoot::setCurrent(folder);
    return true;
}

int commandFailure(const CLI::App& command, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", CommandLine::fullName(command).c_str(), message.c_str());
    return 1;
}
