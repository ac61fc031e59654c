#include "tools/Program.h"
#include "hosts/common/CommandLine.h"
#include "tools/Commands.h"

#include <string>
#include <vector>

int runZorvi(int argc, char** argv) {
    CLI::App program(
        "Runs the simulated phone with the Zorvi lock-screen add-on: lays out devices, boots them "
        "in windows or headless from scripts, edits their preferences and wallpaper, records their "
        "screens. (zorvi help COMMAND, zorvi COMMAND --help, zorvi --version)",
        "zorvi");
    CommandLine::style(program);
    bool version = false;
    program.add_flag("--version", version, "prints the version");
    Commands commands(program);
    std::vector<std::string> words(argv + 1, argv + argc);
    addCommandsFor(commands, words);
    return commands.run(words);
}
