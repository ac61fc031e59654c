#pragma once

// Ctrl-C (SIGINT) and SIGTERM as a request to finish rather than death: while an Interruption is
// alive they only set a flag the program checks at safe points, so that what it was writing (a
// recording) can be completed. The previous handlers come back when it is destroyed.

#include <csignal>

class Interruption {
public:
    // wake, when given, is also called from the signal handler (so it must be async-signal-safe,
    // like RunLoop::wake): a program asleep in a wait learns of the interrupt at once.
    explicit Interruption(void (*wake)() = nullptr);
    ~Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    // Whether an interrupt arrived since the process started (it stays set).
    static bool requested();

private:
    struct sigaction m_previousInterrupt {};
    struct sigaction m_previousTerminate {};
    void (*m_previousWake)() = nullptr;
};
