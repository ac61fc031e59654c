#include "hosts/common/CommandLine.h"
#include "tools/Commands.h"

#include <cstdio>

int main(int argc, char** argv) {
    CLI::App program(
        "Runs the simulated phone with the Zorvi lock-screen add-on: lays out devices, boots them "
        "in windows or headless from scripts, edits their preferences and wallpaper, records their "
        "screens. (zorvi help COMMAND, zorvi COMMAND --help, zorvi --version)",
        "zorvi");
    CommandLine::style(program);
    bool version = false;
    program.add_flag("--version", version, "prints the version");
    Commands commands(program);
    addAllCommands(commands);
    std::vector<std::string> words(argv + 1, argv + argc);
    // --version alone answers before any command is looked at.
    if (words.size() == 1 && words[0] == "--version") {
        std::printf("zorvi %s\n", ZV_VERSION);
        return 0;
    }
    return commands.run(words);
}
