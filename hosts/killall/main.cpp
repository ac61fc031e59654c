// killall, as the device has it: ends the device's processes with the given names.
//
//   killall [-SIGNAL | -NUMBER] NAME...
//
// Only processes recorded in this device's process table are signalled (the device is the one
// ZV_DEVICE_ROOT names), and only once the kernel says they are this device's: a process of the same
// name elsewhere on the machine, or one a copied or forged entry names, is never touched (the device
// log says which entries were skipped). Exit status 1 with "No matching processes" when none matched.

#include "hosts/common/ProcessTable.h"
#include "hosts/common/SignalNames.h"
#include "platform/foundation/DeviceLog.h"
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
    DeviceLog::setProcessName("killall");
    int signalled = 0;
    for (const auto& process : ProcessTable::running()) {
        for (const auto& name : names)
            if (process.name == name && process.handle.signal(signal))
                ++signalled;
    }
    if (!signalled) {
        std::fprintf(stderr, "No matching processes were found\n");
        return 1;
    }
    return 0;
}
