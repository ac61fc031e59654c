// zorvi help [COMMAND [VERB]]: a command's help, the same as COMMAND --help.

#include "hosts/common/CommandLine.h"
#include "tools/Commands.h"

#include <cstdio>

void addHelpCommand(Commands& commands) {
    CLI::App& program = commands.program();
    CLI::App* help = commands.add(
        program, "help", "a command's help (the same as COMMAND --help)", [&program](const CLI::App& help) {
            CLI::App* found = &program;
            for (const std::string& word : help.remaining()) {
                std::vector<std::string> names;
                CLI::App* next = nullptr;
                for (CLI::App* command : found->get_subcommands([](CLI::App*) { return true; })) {
                    names.push_back(command->get_name());
                    if (command->get_name() == word)
                        next = command;
                }
                if (!next) {
                    std::string near = CommandLine::nearest(word, names);
                    return CommandLine::usageError(program,
                                                   "unknown command '" + word + "'" +
                                                       (near.empty() ? "" : " (did you mean " + near + "?)"));
                }
                found = next;
            }
            std::fputs(CommandLine::help(*found).c_str(), stdout);
            return 0;
        });
    // The words are names of commands, never commands to run.
    help->prefix_command();
    CommandLine::setOperands(*help, "[COMMAND [VERB]]");
}
