#include "hosts/common/Interruption.h"

#include <atomic>

namespace {

std::atomic<bool> interruptRequested{false};

void onInterrupt(int) {
    interruptRequested.store(true);
}

} // namespace

Interruption::Interruption() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &m_previousInterrupt);
    sigaction(SIGTERM, &action, &m_previousTerminate);
}

Interruption::~Interruption() {
    sigaction(SIGINT, &m_previousInterrupt, nullptr);
    sigaction(SIGTERM, &m_previousTerminate, nullptr);
}

bool Interruption::requested() {
    return interruptRequested.load();
}
