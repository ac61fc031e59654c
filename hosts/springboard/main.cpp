// zv-springboard: the lock-screen process of the simulated device.
//
//   zv-springboard [--root DIR] [--headless] [--script FILE|-] [--trace FILE] [--with-class NAME]...
//
// Headless, the clock is virtual and the script drives everything; with a window, a person does.

#include "hosts/springboard/ScriptRunner.h"
#include "hosts/springboard/SpringBoard.h"
#include "hosts/springboard/Window.h"
#include "platform/foundation/DeviceRoot.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace {

int usage(const char* message) {
    std::fprintf(stderr, "zorvi springboard: %s\n", message);
    std::fprintf(stderr,
                 "usage: zorvi springboard [--root DIR] [--headless] [--script FILE|-] [--trace FILE] "
                 "[--with-class NAME]...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    SpringBoardOptions options;
    options.root = DeviceRoot::defaultDirectory();
    bool headless = false;
    std::string script, tracePath;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        if (word == "--headless") {
            headless = true;
        } else if (word == "--root") {
            if (!value(options.root))
                return usage("--root needs a folder");
        } else if (word == "--script") {
            if (!value(script))
                return usage("--script needs a file (or -)");
        } else if (word == "--trace") {
            if (!value(tracePath))
                return usage("--trace needs a file");
        } else if (word == "--with-class") {
            std::string name;
            if (!value(name) || name.empty())
                return usage("--with-class needs a class name");
            options.withClasses.push_back(name);
        } else {
            return usage(("unknown argument " + word).c_str());
        }
    }
    std::error_code failure;
    if (!std::filesystem::is_regular_file(options.root + "/System/Library/CoreServices/SystemVersion.plist",
                                          failure)) {
        std::fprintf(stderr, "zorvi springboard: no device at %s (make one with 'zorvi device create')\n",
                     options.root.c_str());
        return 1;
    }
    std::ifstream scriptFile;
    std::istream* scriptStream = nullptr;
    if (script == "-") {
        scriptStream = &std::cin;
    } else if (!script.empty()) {
        scriptFile.open(script);
        if (!scriptFile) {
            std::fprintf(stderr, "zorvi springboard: cannot read the script %s\n", script.c_str());
            return 1;
        }
        scriptStream = &scriptFile;
    }

    Trace trace;
    std::string error;
    if (!trace.open(tracePath, error)) {
        std::fprintf(stderr, "zorvi springboard: %s\n", error.c_str());
        return 1;
    }
    options.virtualClock = headless;
    auto host = SpringBoard::start(options, trace, error);
    if (!host) {
        std::fprintf(stderr, "zorvi springboard: %s\n", error.c_str());
        return 1;
    }
    ScriptRunner runner(*host, trace);
    if (headless) {
        if (scriptStream)
            runner.run(*scriptStream);
        return 0;
    }
    return runWindow(*host, runner, scriptStream);
}
