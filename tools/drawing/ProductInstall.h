#pragma once

// Installs the product into the current device root: the tweak library with its filter in
// "/Library/MobileSubstrate/DynamicLibraries", the settings bundle in "/Library/PreferenceBundles"
// with its icon, and its entry in "/Library/PreferenceLoader/Preferences". The built libraries are
// found beside this program (../lib), as the build lays them out. Installing again replaces them.

#include <string>

// The folder holding the built product libraries, or "" when it cannot be found.
std::string productLibraryFolder();
bool installProduct(std::string& error);
// The settings bundle and its entry alone, from the built libraries' folder.
bool installSettingsBundle(const std::string& libraries, std::string& error);
// A copy of the system's killall at "/usr/bin/killall", where the device has one. It is there to be
// seen: what runs is always the system's own.
bool installDeviceTools(std::string& error);
