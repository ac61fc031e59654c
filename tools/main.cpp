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
    std::fprintf(out, "usage: zorvi COMMAND [ARGS...]\n");
    for (const auto& command : commands)
        std::fprintf(out, "  zorvi %s\n", command.summary);
    return out == stderr ? 2 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage(stderr);
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help"))
        return usage(stdout);
    Arguments args(argv + 2, argv + argc);
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
