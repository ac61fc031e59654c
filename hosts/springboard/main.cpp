// zv-springboard: the lock-screen process of the simulated device.
//
//   zv-springboard [--root DIR] [--headless] [--script FILE|-] [--trace FILE] [--with-class NAME]...
//
// Headless, the clock is virtual and the script drives everything; with a window, a person does.

#include "hosts/common/HostOptions.h"
#include "hosts/springboard/ScriptRunner.h"
#include "hosts/springboard/SpringBoard.h"
#include "hosts/springboard/Window.h"

#include <sstream>

int main(int argc, char** argv) {
    HostOptions options("springboard", "[--with-class NAME]... [--safe-mode LIBRARY]");
    if (int status = options.parse(argc, argv, {"--with-class", "--safe-mode"}); status >= 0)
        return status;
    Trace trace;
    if (int status = options.openTrace(trace); status >= 0)
        return status;
    std::string error;
    SpringBoardOptions springboard;
    springboard.root = options.root;
    springboard.virtualClock = options.headless;
    springboard.withClasses = options.values["--with-class"];
    if (!options.values["--safe-mode"].empty())
        springboard.safeMode = options.values["--safe-mode"].back() == "-"
                                   ? std::string()
                                   : options.values["--safe-mode"].back();
    auto host = SpringBoard::start(springboard, trace, error);
    if (!host)
        return options.failure(error);
    ScriptRunner runner(*host, trace);
    if (!options.headless)
        host->recordFromWindow();
    if (!options.recordPath.empty() && !host->startRecording(options.recordPath, 30, error))
        return options.failure(error);
    if (options.headless) {
        std::istringstream nothing;
        return runner.run(options.script() ? *options.script() : nothing);
    }
    return runSpringBoardWindow(*host, runner, options.script());
}
