// killall, as the device has it: ends the device's processes with the given names.
//
//   killall [-SIGNAL | -NUMBER] NAME...
//
// Only processes recorded in this device's process table are signalled (the device is the one
// ZV_DEVICE_ROOT names); a process of the same name elsewhere on the machine is never touched.
// Exit status 1 with "No matching processes" when none matched.

#include "hosts/common/ProcessTable.h"
#include "hosts/common/SignalNames.h"
#include "platform/foundation/DeviceRoot.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    int signal = SIGTERM;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-' && names.empty()) {
            signal = signalNamed(argv[i] + 1);
            if (!signal) {
                std::fprintf(stderr, "killall: unknown signal %s\n", argv[i] + 1);
                return 2;
            }
        } else {
            names.emplace_back(argv[i]);
        }
    }
    if (names.empty()) {
        std::fprintf(stderr, "usage: killall [-SIGNAL] NAME...\n");
        return 2;
    }
    if (DeviceRoot::current().empty()) {
        std::fprintf(stderr, "killall: not running on a device\n");
        return 2;
    }
    int signalled = 0;
    for (const auto& process : ProcessTable::running()) {
        for (const auto& name : names)
            if (process.name == name && ::kill(process.pid, signal) == 0)
                ++signalled;
    }
    if (!signalled) {
        std::fprintf(stderr, "No matching processes were found\n");
        return 1;
    }
    return 0;
}
