#pragma once

// zorvi device update (reinstalls the product and the device's programs after a rebuild), list
// (the devices beside the default one, and --root's; which are booted) and erase (not while booted).

#include <CLI/CLI.hpp>

#include <string>

bool deviceIsBooted(const std::string& root);
// root: the device named by --root, empty for the default one.
int updateDevice(const std::string& root, const CLI::App& command);
int listDevices(const std::string& root);
int eraseDevice(const std::string& root, const CLI::App& command);
