#pragma once

// The command lines of `zorvi` and of the device's programs are all defined with CLI11 and read
// here, so that every command has the same help, takes "--option value" and "--option=value",
// checks its values and suggests the nearest word for a mistyped one. Usage lines are made from
// the definitions, never written by hand, so the help and the manual page cannot tell different
// stories.

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace CommandLine {

// Gives an app this project's help layout and usage lines. Call it before adding subcommands:
// they take their parent's layout.
void style(CLI::App& app);

// For a command that reads its own words after its options (such as "DOMAIN KEY -int 3"): what
// its usage line shows for them.
void setOperands(CLI::App& app, std::string text);

// "zorvi device create": the app's name after its parents'.
std::string fullName(const CLI::App& app);

// The usage lines of an app: one for each command that can run ("zorvi device create [--root DIR]
// ...", "zorvi device list [--root DIR]").
std::vector<std::string> synopsis(const CLI::App& app);

// The app's whole help text, as --help prints it.
std::string help(const CLI::App& app);

// Parses the words after the program's name. Answers -1 to go on, 0 after printing the help that
// was asked for, or 2 after printing what is wrong with the command line and the usage.
int parse(CLI::App& app, const std::vector<std::string>& words);

// The deepest command the last parse chose (the app itself when none).
CLI::App& chosen(CLI::App& app);

// The candidate nearest to a mistyped word, or "" when none is near enough to be meant.
std::string nearest(const std::string& word, const std::vector<std::string>& candidates);

// Prints "NAME: message" and the app's usage lines to stderr; answers 2.
int usageError(const CLI::App& app, const std::string& message);

// A program's usage error for a first word that names none of its commands, made from their names
// alone: the same text a parse meeting the word prints, without defining any command first.
int unknownCommand(const std::string& program, const std::string& word,
                   const std::vector<std::string>& names);

} // namespace CommandLine
