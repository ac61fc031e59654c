// zv-springboard: the lock-screen process of the simulated device.
//
//   zv-springboard [--root DIR] [--headless] [--script FILE|-] [--trace FILE] [--record FILE]
//                  [--with-class NAME]... [--safe-mode LIBRARY] [--date "YYYY-MM-DD HH:MM"]
//
// Headless, the clock is virtual and the script drives everything; with a window, a person does. A
// served device's lock screen (--real-time, given by the supervisor) is headless on real time.

#include "hosts/common/HostCommandLine.h"
#include "hosts/common/HostControl.h"
#include "hosts/common/HostOptions.h"
#include "hosts/springboard/ScriptRunner.h"
#include "hosts/springboard/SpringBoard.h"
#include "hosts/springboard/Window.h"
#include "platform/foundation/DeviceFile.h"

#include <cstdio>
#include <optional>
#include <sstream>

namespace {

// Everything that may write to the trace lives and ends in here, before the trace is judged.
int run(HostOptions& options, Trace& trace) {
    // A tweak that ends the process as it loads is the run's failure, not a quiet end.
    DeviceFile::setLoadExitObserver([&trace](const std::string& message) {
        trace.write("error", Json::Object().add("message", Json::string(message)));
    });
    std::string error;
    SpringBoardOptions springboard;
    springboard.root = options.arguments.root;
    bool served = options.arguments.headless && options.arguments.realTime;
    springboard.virtualClock = options.arguments.headless && !served;
    springboard.withClasses = options.arguments.withClasses;
    if (!options.arguments.safeMode.empty())
        springboard.safeMode = options.arguments.safeMode == "-" ? std::string() : options.arguments.safeMode;
    if (!options.arguments.date.empty())
        springboard.clockStart = *parseClockStart(options.arguments.date);
    auto host = SpringBoard::start(springboard, trace, error);
    if (!host)
        return options.failure(error);
    ScriptRunner runner(*host, trace);
    if (options.arguments.acknowledgeLines)
        runner.acknowledgeLines();
    std::unique_ptr<WindowClient> input = makeLockScreenInput(*host);
    std::optional<HostControl> control;
    if (options.arguments.control) {
        control.emplace("springboard", *host, runner, trace, *input);
        if (!control->start(error))
            return options.failure(error);
    }
    if (!options.arguments.headless)
        host->recordFromWindow();
    if (served)
        host->runUnseen();
    if (!options.arguments.record.empty() && !host->startRecording(options.arguments.record, 30, error))
        return options.failure(error);
    if (options.arguments.headless) {
        if (!options.script() && options.arguments.record.empty()) {
            std::fprintf(stderr, "zorvi springboard: started the lock screen headless and stopped, as no "
                                 "--script was given\n");
            return 0;
        }
        std::istringstream nothing;
        return runner.run(options.script() ? *options.script() : nothing);
    }
    return runSpringBoardWindow(*host, runner, options.script(), *input);
}

} // namespace

int main(int argc, char** argv) {
    return HostOptions::runDrawingHost(argc, argv, HostKind::SpringBoard, run);
}
