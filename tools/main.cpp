#include "hosts/common/CommandLine.h"
#include "tools/Commands.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // --version alone answers before the command line is built.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("zorvi %s\n", ZV_VERSION);
        return 0;
    }
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
