// zorvi springboard: runs the device's lock-screen process (zv-springboard beside this program)
// with the same arguments.

#include "tools/Commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

int commandSpringboard(const Arguments& args) {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    std::string host = (self.parent_path() / "zv-springboard").string();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(host.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    ::execv(host.c_str(), argv.data());
    std::fprintf(stderr, "zorvi springboard: cannot run %s: %s\n", host.c_str(), std::strerror(errno));
    return 1;
}
