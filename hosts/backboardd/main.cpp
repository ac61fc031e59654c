// backboardd, as the simulated device has it: the display server the lock screen depends on. It
// only stands in the device's process table until it is ended; the supervisor restarts the lock
// screen with it (a Respring).

#include "hosts/common/ProcessTable.h"
#include "platform/foundation/DeviceLog.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t ending = 0;

} // namespace

int main() {
    struct sigaction action {};
    action.sa_handler = [](int) { ending = 1; };
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    if (std::string why; !ProcessTable::registerSelf("backboardd", why)) {
        std::fprintf(stderr, "backboardd: %s\n", why.c_str());
        NSLog(why);
    }
    while (!ending)
        ::pause();
    ProcessTable::unregisterSelf();
    return 0;
}
