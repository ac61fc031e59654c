#pragma once

// The commands of `zorvi`. Each command's file defines its options and words on the program's
// command line and says what runs when it is chosen; main.cpp parses and runs the chosen one.

#include <CLI/CLI.hpp>

#include <functional>
#include <map>
#include <string>
#include <vector>

class Commands {
public:
    explicit Commands(CLI::App& program) : m_program(program) {}

    CLI::App& program() { return m_program; }

    // A command under parent (the program, or a command whose verbs these are), in the program's
    // style. action runs when it is chosen, is given the command (for its messages) and answers
    // the exit status; a command with verbs has none. A verb also takes the options of the command
    // above it, wherever they are written.
    using Action = std::function<int(const CLI::App& command)>;
    CLI::App* add(CLI::App& parent, const std::string& name, const std::string& description,
                  Action action = {});

    // Parses the words after "zorvi" and runs the chosen command: 0 done, 1 failed, 2 a bad
    // command line.
    int run(const std::vector<std::string>& words);

private:
    CLI::App& m_program;
    std::map<const CLI::App*, Action> m_actions;
};

// Each command's definitions.
void addDeviceCommand(Commands& commands);
void addLogCommand(Commands& commands);
void addHostCommands(Commands& commands);
void addRespringCommand(Commands& commands);
void addShutdownCommand(Commands& commands);
void addDevCommand(Commands& commands);
void addUiCommand(Commands& commands);
void addIoCommand(Commands& commands);
void addSendCommand(Commands& commands);
void addStatusBarCommand(Commands& commands);
void addDefaultsCommand(Commands& commands);
void addWallpaperCommand(Commands& commands);
void addWavesCommand(Commands& commands);
void addRecordCommand(Commands& commands);
void addTestCommand(Commands& commands);
void addMatrixCommand(Commands& commands);
void addHelpCommand(Commands& commands);

// Every command of the program, in the order the help lists them.
void addAllCommands(Commands& commands);
// Only the command the first word names, when it names one (not help): the others' definitions are
// not needed to run it, and making them is most of what a quick command costs once started. A word
// that names no command gets the commands' bare names (its usage error suggests one); an option,
// help or no word at all gets every definition, for the help.
void addCommandsFor(Commands& commands, const std::vector<std::string>& words);
// Every word that names a command, in the order the help lists them.
std::vector<std::string> commandNames();
// Whether the first word is meant as a command but names none (so its usage error is all to do).
bool namesNoCommand(const std::vector<std::string>& words);
// The commands one by one, for the tests: the words that choose the family-th set of definitions
// (empty past the last), and adding that set alone.
std::vector<std::string> commandFamilyNames(size_t family);
void addCommandFamily(Commands& commands, size_t family);

// --root DIR on a command.
CLI::Option* addRootOption(CLI::App& command, std::string& root);
// --screen WxH@S and --system VERSION, checked as they are read.
CLI::Option* addScreenOption(CLI::App& command, std::string& screen, const std::string& description);
CLI::Option* addSystemOption(CLI::App& command, std::string& system, const std::string& description);
// What is wrong with a system version or a screen profile, for a message; empty when nothing is.
std::string systemVersionProblem(const std::string& text);
std::string screenProblem(const std::string& text);
// Checks each word of a comma-separated list ("12.4,14.4") with problem.
CLI::Validator listCheck(std::string (*problem)(const std::string&));

// Makes root (the default device when empty) the current device; false after saying why when it
// holds no device.
bool selectDevice(const std::string& root, const CLI::App& command);

// Prints "zorvi COMMAND: message" to stderr and answers 1.
int commandFailure(const CLI::App& command, const std::string& message);
