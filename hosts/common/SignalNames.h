#pragma once

// Signals by name, as commands take them: "TERM", "SIGTERM", "9". 0 for what is not a signal.

#include <string_view>

int signalNamed(std::string_view text);
