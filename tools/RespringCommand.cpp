// zorvi respring: ends the device's backboardd, as its Respring button does; the device's
// supervisor then brings back backboardd and the lock screen, which loads its tweaks afresh.

#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceRoot.h"
#include "tools/Commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int respring(const std::string& root) {
    DeviceRoot::setCurrent(root.empty() ? DeviceRoot::defaultDirectory() : root);
    // The device's own killall, opened beneath its root and run through its descriptor.
    int killall = DeviceFile::open("/usr/bin/killall", O_RDONLY | O_NONBLOCK);
    struct stat info {};
    if (killall < 0 || ::fstat(killall, &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fprintf(stderr, "zorvi respring: no device at %s (or its /usr/bin/killall is not a program)\n",
                     DeviceRoot::current().c_str());
        if (killall >= 0)
            ::close(killall);
        return 1;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        const char* argv[] = {"/usr/bin/killall", "backboardd", nullptr};
        ::fcntl(killall, F_SETFD, 0); // a script's interpreter reads the program through it
        ::execveat(killall, "", const_cast<char* const*>(argv), environ, AT_EMPTY_PATH);
        ::_exit(127);
    }
    ::close(killall);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "zorvi respring: the device is not booted (no backboardd to end)\n");
        return 1;
    }
    std::printf("respring: backboardd ended; the device brings the lock screen back\n");
    return 0;
}

} // namespace

void addRespringCommand(Commands& commands) {
    auto root = std::make_shared<std::string>();
    CLI::App* respring = commands.add(commands.program(), "respring",
                                      "ends the booted device's backboardd, as the Respring button does",
                                      [root](const CLI::App&) { return ::respring(*root); });
    addRootOption(*respring, *root);
}
