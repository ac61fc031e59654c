// zv-springboard: the lock-screen process of the simulated device.
//
//   zv-springboard [--root DIR] [--headless] [--script FILE|-] [--trace FILE] [--record FILE]
//                  [--with-class NAME]... [--safe-mode LIBRARY] [--date "YYYY-MM-DD HH:MM"]
//
// Headless, the clock is virtual and the script drives everything; with a window, a person does.

#include "hosts/common/HostOptions.h"
#include "hosts/springboard/ScriptRunner.h"
#include "hosts/springboard/SpringBoard.h"
#include "hosts/springboard/Window.h"
#include "platform/ui/TextImage.h"

#include <cstdio>
#include <ctime>
#include <optional>
#include <sstream>

namespace {

// "YYYY-MM-DD HH:MM" (or with a T between), read as UTC.
std::optional<std::time_t> parseClockStart(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    char separator = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d%n", &year, &month, &day, &separator, &hour, &minute,
                    &used) != 6 ||
        used != static_cast<int>(text.size()) || (separator != ' ' && separator != 'T'))
        return std::nullopt;
    if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || hour < 0 || minute < 0)
        return std::nullopt;
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    std::time_t moment = timegm(&parts);
    // A day past the month's end (31 April) comes back as another date: refused.
    std::tm check{};
    gmtime_r(&moment, &check);
    if (check.tm_mday != day || check.tm_mon != month - 1)
        return std::nullopt;
    return moment;
}

} // namespace

int main(int argc, char** argv) {
    HostOptions options("springboard",
                        "[--with-class NAME]... [--safe-mode LIBRARY] [--date \"YYYY-MM-DD HH:MM\"]");
    if (int status = options.parse(argc, argv, {"--with-class", "--safe-mode", "--date"}); status >= 0)
        return status;
    // The fonts are set up while the device's files are read; the clock needs them first.
    prepareTextDrawing();
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
    if (!options.values["--date"].empty()) {
        const std::string& text = options.values["--date"].back();
        auto start = parseClockStart(text);
        if (!start) {
            std::fprintf(stderr, "zorvi springboard: --date wants \"YYYY-MM-DD HH:MM\", not '%s'\n",
                         text.c_str());
            return 2;
        }
        springboard.clockStart = *start;
    }
    auto host = SpringBoard::start(springboard, trace, error);
    if (!host)
        return options.failure(error);
    ScriptRunner runner(*host, trace);
    if (!options.headless)
        host->recordFromWindow();
    if (!options.recordPath.empty() && !host->startRecording(options.recordPath, 30, error))
        return options.failure(error);
    if (options.headless) {
        if (!options.script() && options.recordPath.empty()) {
            std::fprintf(stderr, "zorvi springboard: started the lock screen headless and stopped, as no "
                                 "--script was given\n");
            return 0;
        }
        std::istringstream nothing;
        return runner.run(options.script() ? *options.script() : nothing);
    }
    return runSpringBoardWindow(*host, runner, options.script());
}
