// zorvi status-bar override --time HH:MM [--date YYYY-MM-DD] | clear: pins the device's status bars
// (the lock screen's clock and date, Settings' status bar) to a moment until cleared, across a
// Respring, for pictures that must not depend on when they are taken.

#include "hosts/common/CommandLine.h"
#include "hosts/common/StatusBarOverride.h"
#include "tools/Commands.h"
#include "tools/DeviceControl.h"

#include <cstdio>
#include <memory>

namespace {

struct StatusBarWords {
    std::string root;
    std::string time;
    std::string date;
};

int override(const StatusBarWords& words, const CLI::App& command) {
    auto moment = StatusBarOverride::parse(words.time, words.date);
    if (!moment)
        return CommandLine::usageError(command, "wants --time HH:MM (00:00 to 23:59) and, optionally, --date "
                                                "YYYY-MM-DD (a real day)");
    if (!selectBootedDevice(words.root, command))
        return 1;
    std::string error;
    if (!StatusBarOverride::write(*moment, error))
        return commandFailure(command, error);
    std::printf("the status bars show %s%s until 'zorvi status-bar clear'\n",
                StatusBarOverride::timeText(*moment).c_str(),
                moment->day ? (", " + StatusBarOverride::dateText(*moment)).c_str() : "");
    return 0;
}

int clear(const StatusBarWords& words, const CLI::App& command) {
    if (!selectBootedDevice(words.root, command))
        return 1;
    std::string error;
    if (!StatusBarOverride::clear(error))
        return commandFailure(command, error);
    std::printf("the status bars show the clock's time again\n");
    return 0;
}

} // namespace

void addStatusBarCommand(Commands& commands) {
    auto words = std::make_shared<StatusBarWords>();
    CLI::App* bar = commands.add(commands.program(), "status-bar",
                                 "pins the booted device's status bars to a moment, or lets them go");
    addRootOption(*bar, words->root);
    CLI::App* pin = commands.add(*bar, "override", "both status bars show this time (and date) until cleared",
                                 [words](const CLI::App& command) { return override(*words, command); });
    pin->add_option("--time", words->time, "the time shown")->type_name("HH:MM")->required();
    pin->add_option("--date", words->date, "the date the lock screen shows")->type_name("YYYY-MM-DD");
    commands.add(*bar, "clear", "the status bars show the clock's time again",
                 [words](const CLI::App& command) { return clear(*words, command); });
}
