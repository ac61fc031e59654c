#pragma once

// Installs the product into the current device root: the tweak library with its filter in
// "/Library/MobileSubstrate/DynamicLibraries". The built library is found beside this program
// (../lib), as the build lays it out.

#include <string>

// The folder holding the built product libraries, or "" when it cannot be found.
std::string productLibraryFolder();
bool installProduct(std::string& error);
