// zorvi respring: ends the device's backboardd, as its Respring button does; the device's
// supervisor then brings back backboardd and the lock screen, which loads its tweaks afresh.

#include "platform/foundation/DeviceRoot.h"
#include "tools/CommandLine.h"
#include "tools/Commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

int commandRespring(const Arguments& args) {
    std::string error;
    auto line = CommandLine::parse(args, {"--root"}, {}, error);
    if (!line || !line->positional().empty())
        return commandLineError("respring", line ? "usage: respring [--root DIR]" : error);
    DeviceRoot::setCurrent(line->value("--root").value_or(DeviceRoot::defaultDirectory()));
    auto killall = DeviceRoot::hostPath("/usr/bin/killall");
    std::error_code failure;
    if (!killall || !std::filesystem::is_regular_file(*killall, failure)) {
        std::fprintf(stderr, "zorvi respring: no device at %s\n", DeviceRoot::current().c_str());
        return 1;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(killall->c_str(), "/usr/bin/killall", "backboardd", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "zorvi respring: the device is not booted (no backboardd to end)\n");
        return 1;
    }
    std::printf("respring: backboardd ended; the device brings the lock screen back\n");
    return 0;
}
