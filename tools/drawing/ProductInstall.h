#pragma once

// Installs the product into the current device root: the files a build makes (ProductFiles.h: the
// tweak library, the settings bundle and its entry), the tweak's filter and the bundle's icon. The
// built libraries are found beside this program (../lib), as the build lays them out. Nothing is
// installed unless every built file is there; installing again replaces them.

#include <string>

// The folder holding the built product libraries, or "" when it cannot be found.
std::string productLibraryFolder();
bool installProduct(std::string& error);
// A copy of the system's killall at "/usr/bin/killall", where the device has one. It is there to be
// seen: what runs is always the system's own.
bool installDeviceTools(std::string& error);
