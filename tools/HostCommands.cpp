// zorvi springboard, zorvi settings: run the device's processes (zv-springboard, zv-settings beside
// this program) with the same arguments.

#include "tools/Commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace {

int execHost(const char* command, const char* program, const Arguments& args) {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    std::string host = (self.parent_path() / program).string();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(host.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    ::execv(host.c_str(), argv.data());
    std::fprintf(stderr, "zorvi %s: cannot run %s: %s\n", command, host.c_str(), std::strerror(errno));
    return 1;
}

} // namespace

int commandSpringboard(const Arguments& args) {
    return execHost("springboard", "zv-springboard", args);
}

int commandSettings(const Arguments& args) {
    return execHost("settings", "zv-settings", args);
}

int commandBoot(const Arguments& args) {
    return execHost("boot", "zv-boot", args);
}
