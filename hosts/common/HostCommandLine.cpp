#include "hosts/common/HostCommandLine.h"
#include "hosts/common/CommandLine.h"
#include "hosts/common/VideoFormats.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <ctime>

namespace {

CLI::Validator notEmpty(const std::string& what) {
    return CLI::Validator(
        [what](std::string& value) { return value.empty() ? "wants " + what : std::string(); }, "");
}

CLI::Validator recordingName() {
    return CLI::Validator(
        [](std::string& path) {
            return videoFormatForPath(path)
                       ? std::string()
                       : "cannot record to " + path + ": the name must end in " + videoFormatNames();
        },
        "");
}

} // namespace

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

const char* hostCommandName(HostKind kind) {
    switch (kind) {
    case HostKind::SpringBoard:
        return "springboard";
    case HostKind::Settings:
        return "settings";
    case HostKind::Boot:
        return "boot";
    }
    return "";
}

void defineHostCommandLine(CLI::App& app, HostKind kind, HostArguments& arguments) {
    switch (kind) {
    case HostKind::SpringBoard:
        app.description("runs the device's lock-screen process with the product loaded: in a window, or "
                        "headless on a virtual clock driven by a script");
        break;
    case HostKind::Settings:
        app.description("runs the device's Settings application: in a window, or headless on a virtual clock "
                        "driven by a script");
        break;
    case HostKind::Boot:
        app.description("boots the device: its supervisor starts backboardd, the lock screen and Settings, "
                        "restarts them as the device does, and ends them all when it ends");
        break;
    }
    app.add_option("--root", arguments.root, "the device (default: the user's default device)")
        ->type_name("DIR")
        ->check(notEmpty("a folder"));
    app.add_flag("--headless", arguments.headless, "no window: a virtual clock that the script drives");
    app.add_option("--script", arguments.script, "commands, one a line (- for standard input)")
        ->type_name("FILE|-")
        ->check(notEmpty("a file (or -)"));
    app.add_option("--trace", arguments.trace, "where the JSON trace goes (standard output by default)")
        ->type_name("FILE")
        ->check(notEmpty("a file"));
    if (kind == HostKind::Boot) {
        app.add_flag("--serve", arguments.serve,
                     "headless, serving until 'zorvi shutdown' (or Ctrl-C): prints how to drive it");
        // Each screen of a booted device records on its own; a whole-device recording would be a
        // promise nothing keeps.
        app.add_option("--record", arguments.record)
            ->group("")
            ->check(CLI::Validator(
                [](std::string&) {
                    return std::string("a booted device records each screen on its own: press R in its "
                                       "window, or use 'springboard: record start FILE' (or settings:) in a "
                                       "boot script");
                },
                ""));
        return;
    }
    app.add_option("--record", arguments.record, "records the whole run (.mp4, .gif, .webp or .apng)")
        ->type_name("FILE")
        ->check(recordingName());
    app.add_flag("--control", arguments.control)->group("");
    app.add_flag("--real-time", arguments.realTime)->group("");
    app.add_flag("--acknowledge-lines", arguments.acknowledgeLines)->group("");
    if (kind == HostKind::Settings)
        app.add_flag("--reopen-pages", arguments.reopenPages)->group("");
    if (kind != HostKind::SpringBoard)
        return;
    app.add_option("--with-class", arguments.withClasses, "also loads a class's tweak (repeatable)")
        ->type_name("NAME")
        ->check(notEmpty("a class name"));
    app.add_option("--safe-mode", arguments.safeMode,
                   "starts without tweaks, naming the one loaded last (- for none)")
        ->type_name("LIBRARY")
        ->check(notEmpty("a library (or -)"));
    app.add_option("--date", arguments.date, "the lock screen's clock starts at this moment")
        ->type_name("\"YYYY-MM-DD HH:MM\"")
        ->check(CLI::Validator(
            [](std::string& text) {
                return parseClockStart(text) ? std::string()
                                             : "wants \"YYYY-MM-DD HH:MM\", not '" + text + "'";
            },
            ""));
}

int parseHostCommandLine(HostKind kind, const std::vector<std::string>& words, HostArguments& arguments) {
    CLI::App app("", std::string("zorvi ") + hostCommandName(kind));
    CommandLine::style(app);
    defineHostCommandLine(app, kind, arguments);
    return CommandLine::parse(app, words);
}
