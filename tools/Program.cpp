#include "tools/Program.h"
#include "hosts/common/CommandLine.h"
#include "tools/Commands.h"

#include <string>
#include <vector>

int runZorvi(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    // Saying so needs none of the commands' definitions, which are most of what it would cost.
    if (namesNoCommand(words))
        return CommandLine::unknownCommand("zorvi", words[0], commandNames());
    CLI::App program(
        "Runs the simulated phone with the Zorvi lock-screen add-on: lays out devices, boots them "
        "in windows or headless from scripts, edits their preferences and wallpaper, records their "
        "screens. (zorvi help COMMAND, zorvi COMMAND --help, zorvi --version)",
        "zorvi");
    CommandLine::style(program);
    bool version = false;
    program.add_flag("--version", version, "prints the version");
    Commands commands(program);
    addCommandsFor(commands, words);
    return commands.run(words);
}
