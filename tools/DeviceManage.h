#pragma once

// zorvi device update (reinstalls the product and the device's programs after a rebuild), list
// (the devices beside the default one, and --root's; which are booted) and erase (not while booted).

#include "tools/CommandLine.h"

#include <string>

bool deviceIsBooted(const std::string& root);
int updateDevice(const CommandLine& line);
int listDevices(const CommandLine& line);
int eraseDevice(const CommandLine& line);
