#include "hosts/common/Interruption.h"

#include <atomic>

namespace {

std::atomic<bool> interruptRequested{false};
std::atomic<void (*)()> wakeOnInterrupt{nullptr};

void onInterrupt(int) {
    interruptRequested.store(true);
    if (auto wake = wakeOnInterrupt.load())
        wake();
}

} // namespace

Interruption::Interruption(void (*wake)()) {
    m_previousWake = wakeOnInterrupt.exchange(wake);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &m_previousInterrupt);
    sigaction(SIGTERM, &action, &m_previousTerminate);
}

Interruption::~Interruption() {
    sigaction(SIGINT, &m_previousInterrupt, nullptr);
    sigaction(SIGTERM, &m_previousTerminate, nullptr);
    wakeOnInterrupt.store(m_previousWake);
}

bool Interruption::requested() {
    return interruptRequested.load();
}
