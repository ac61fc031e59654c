// zorvi respring: ends the device's backboardd, as its Respring button does; the device's
// supervisor then brings back backboardd and the lock screen, which loads its tweaks afresh.

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/SystemPrograms.h"
#include "tools/Commands.h"
#include "tools/DeviceManage.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Runs the system's killall on the device's backboardd: its exit status, or -1 when it could not run.
int killBackboardd(const std::string& killall) {
    pid_t pid = ::fork();
    if (pid == 0) {
        const char* argv[] = {"/usr/bin/killall", "backboardd", nullptr};
        ::execv(killall.c_str(), const_cast<char* const*>(argv));
        ::_exit(127);
    }
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) == 127)
        return -1;
    return WEXITSTATUS(status);
}

int respring(const std::string& root, const CLI::App& command) {
    if (!selectDevice(root, command))
        return 1;
    // The system's killall, as the button runs it: a copy inside the device is never run.
    std::optional<std::string> killall = SystemPrograms::locate("/usr/bin/killall");
    if (!killall)
        return commandFailure(command, "the system has no killall");
    std::string device = DeviceRoot::current();
    int status = killBackboardd(*killall);
    // A booted device between two backboardds (a Respring's restart) gets a moment to bring the
    // next one up.
    for (int tries = 0; status > 0 && deviceIsBooted(device) && tries < 20; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        status = killBackboardd(*killall);
    }
    if (status < 0)
        return commandFailure(command, "cannot run the system's killall (" + *killall + ")");
    if (status != 0 && deviceIsBooted(device))
        return commandFailure(command, "the device is booted but no backboardd of it is running (it is "
                                       "restarting, or was given up on: see zorvi log)");
    if (status != 0)
        return commandFailure(command, "the device is not booted (no backboardd of this device to end)");
    std::printf("respring: backboardd ended; the device brings the lock screen back\n");
    return 0;
}

} // namespace

void addRespringCommand(Commands& commands) {
    auto root = std::make_shared<std::string>();
    CLI::App* respring = commands.add(commands.program(), "respring",
                                      "ends the booted device's backboardd, as the Respring button does",
                                      [root](const CLI::App& command) { return ::respring(*root, command); });
    addRootOption(*respring, *root);
}
