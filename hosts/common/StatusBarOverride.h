#pragma once

// A fixed moment for the status bars of a device (the lock screen's clock and date, Settings' status
// bar), for pictures that must not depend on when they are taken. It is the device's state, not a
// process's: a file of the device that every process reads at start and again when the change is
// posted, so it holds across a Respring until it is cleared.

#include <ctime>
#include <optional>
#include <string>

namespace StatusBarOverride {

struct Moment {
    int hour = 9;
    int minute = 41;
    // The day the date shows; without one, the date is the clock's own.
    std::optional<std::tm> day;
};

// The notification posted when the override is set or cleared.
constexpr const char* changedNotification = "com.apple.springboard.statusbaroverride";

// "HH:MM" and, when not empty, "YYYY-MM-DD"; nullopt when either is not a real time or day.
std::optional<Moment> parse(const std::string& time, const std::string& date);

// The current device's override, nullopt when none is set (or its file cannot be read).
std::optional<Moment> read();
// Sets or clears it and posts the change; false with error set.
bool write(const Moment& moment, std::string& error);
bool clear(std::string& error);

// How the status bars show it: "9:41", and the date as the lock screen writes it ("Tuesday 8
// December"), which is empty without a day.
std::string timeText(const Moment& moment);
std::string dateText(const Moment& moment);

} // namespace StatusBarOverride
