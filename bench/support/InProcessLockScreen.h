#pragma once

// The real lock screen drawn in the benchmark's own process: the lock-screen host started on a
// device made for the benchmark (the default screen), with the tweak loaded from the device as the
// host loads it, and shown. The program links the host's core and exports its symbols for the tweak.

#include "bench/support/Processes.h"
#include "hosts/springboard/SpringBoard.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace bench {

struct InProcessLockScreen {
    Device device;
    Trace trace;
    std::unique_ptr<SpringBoard> host;

    // Aborts when the host cannot start: nothing the benchmark measures would mean anything.
    explicit InProcessLockScreen(const std::string& zorvi) : device(zorvi) {
        std::string error;
        if (!trace.open("/dev/null", error))
            std::abort();
        SpringBoardOptions options;
        options.root = device.root;
        host = SpringBoard::start(options, trace, error);
        if (!host) {
            std::fprintf(stderr, "the lock screen did not start: %s\n", error.c_str());
            std::abort();
        }
        host->appear();
    }
};

} // namespace bench
