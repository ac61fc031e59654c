#pragma once

// The device log. NSLog writes one line to the root's "/var/log/syslog" and to stderr, and tells
// the observer (a host writes it to its trace). Lines never contain a newline.

#include <functional>
#include <string_view>

void NSLog(std::string_view message);

namespace DeviceLog {

using Observer = std::function<void(std::string_view message)>;
void setObserver(Observer observer);
// The process name the log lines carry (default "zorvi").
void setProcessName(std::string_view name);

} // namespace DeviceLog
