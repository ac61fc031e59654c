// backboardd, as the simulated device has it: the display server the lock screen depends on. It
// only stands in the device's process table until it is ended; the supervisor restarts the lock
// screen with it (a Respring).

#include "hosts/common/ProcessTable.h"

#include <csignal>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t ending = 0;

} // namespace

int main() {
    struct sigaction action {};
    action.sa_handler = [](int) { ending = 1; };
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    ProcessTable::registerSelf("backboardd");
    while (!ending)
        ::pause();
    ProcessTable::unregisterSelf();
    return 0;
}
