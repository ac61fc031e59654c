#pragma once

// zorvi device list (the devices beside the default one, and --root's; which are booted) and erase
// (not while booted).

#include <string>

namespace CLI {
class App;
}

bool deviceIsBooted(const std::string& root);
// root: the device named by --root, empty for the default one.
int listDevices(const std::string& root);
int eraseDevice(const std::string& root, const CLI::App& command);
