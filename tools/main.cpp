#include "tools/Commands.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

struct Command {
    const char* name;
    int (*run)(const Arguments&);
    const char* summary;
};

const Command commands[] = {
    {"device", commandDevice,
     "device create [--root DIR] [--system VERSION] [--screen WxH@S] | update | list | erase"},
    {"log", commandLog, "log [--root DIR] [--follow]"},
    {"springboard", commandSpringboard,
     "springboard [--root DIR] [--headless] [--script FILE|-] [--trace FILE] [--record FILE] [--with-class "
     "NAME]..."},
    {"boot", commandBoot, "boot [--root DIR] [--headless] [--script FILE|-] [--trace FILE]"},
    {"respring", commandRespring, "respring [--root DIR]"},
    {"settings", commandSettings,
     "settings [--root DIR] [--headless] [--script FILE|-] [--trace FILE] [--record FILE]"},
    {"defaults", commandDefaults, "defaults [--root DIR] read|write|delete DOMAIN [KEY] [-TYPE VALUE]"},
    {"wallpaper", commandWallpaper, "wallpaper [--root DIR] set IMAGE | export OUT.png | average"},
    {"waves", commandWaves,
     "waves [--screen WxH@S] [--frames N] [--out DIR | --out FILE.mp4|.gif|.webp|.apng]"},
    {"record", commandRecord,
     "record [--root DIR] [--system VERSION] [--screen WxH@S] SCRIPT OUT.mp4|.gif|.webp|.apng"},
};

int usage(FILE* out) {
    std::fprintf(
        out,
        "usage: zorvi COMMAND [ARGS...]   (zorvi help COMMAND, zorvi COMMAND --help, zorvi --version)\n");
    for (const auto& command : commands)
        std::fprintf(out, "  zorvi %s\n", command.summary);
    return out == stderr ? 2 : 0;
}

const Command* find(const char* name) {
    for (const auto& command : commands)
        if (!std::strcmp(name, command.name))
            return &command;
    return nullptr;
}

bool asksForHelp(const char* word) {
    return !std::strcmp(word, "--help") || !std::strcmp(word, "-h");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage(stderr);
    if (!std::strcmp(argv[1], "--version")) {
        std::printf("zorvi %s\n", ZV_VERSION);
        return 0;
    }
    // zorvi help [COMMAND], zorvi --help
    if (asksForHelp(argv[1]) || !std::strcmp(argv[1], "help")) {
        if (argc >= 3 && !std::strcmp(argv[1], "help")) {
            if (const Command* command = find(argv[2])) {
                std::printf("usage: zorvi %s\n", command->summary);
                return 0;
            }
            std::fprintf(stderr, "zorvi: unknown command '%s'\n", argv[2]);
            return usage(stderr);
        }
        return usage(stdout);
    }
    Arguments args(argv + 2, argv + argc);
    const Command* found = find(argv[1]);
    // zorvi COMMAND [SUB] --help: the command's usage (the hosts answer their own --help).
    bool isHost = found && (!std::strcmp(found->name, "springboard") ||
                            !std::strcmp(found->name, "settings") || !std::strcmp(found->name, "boot"));
    if (found && !isHost)
        for (const auto& arg : args)
            if (asksForHelp(arg.c_str())) {
                std::printf("usage: zorvi %s\n", found->summary);
                return 0;
            }
    for (const auto& command : commands) {
        if (!std::strcmp(argv[1], command.name)) {
            try {
                return command.run(args);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "zorvi %s: %s\n", command.name, e.what());
                return 1;
            }
        }
    }
    std::fprintf(stderr, "zorvi: unknown command '%s'\n", argv[1]);
    return usage(stderr);
}
