// zorvi shutdown: asks the booted device's supervisor to shut the device down, and waits until it
// has (its processes finish what they were sent, then end).

#include "hosts/common/ControlSocket.h"
#include "platform/foundation/DeviceRoot.h"
#include "tools/Commands.h"
#include "tools/DeviceControl.h"
#include "tools/DeviceManage.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

constexpr auto longestShutdown = std::chrono::seconds(90);

int shutdownDevice(const std::string& root, const CLI::App& command) {
    if (!selectBootedDevice(root, command))
        return 1;
    ControlReply reply;
    if (int status = runControlLine(command, "boot", "shutdown", reply); status != 0)
        return status;
    std::string folder = DeviceRoot::current();
    auto until = std::chrono::steady_clock::now() + longestShutdown;
    while (deviceIsBooted(folder)) {
        if (std::chrono::steady_clock::now() > until)
            return commandFailure(command, "the device is still shutting down after 90 s");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("the device at %s is shut down\n", folder.c_str());
    return 0;
}

} // namespace

void addShutdownCommand(Commands& commands) {
    auto root = std::make_shared<std::string>();
    CLI::App* shutdown = commands.add(commands.program(), "shutdown", "shuts the booted device down",
                                      [root](const CLI::App& command) { return shutdownDevice(*root, command); });
    addRootOption(*shutdown, *root);
}
