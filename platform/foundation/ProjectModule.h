#pragma once

// A module of the project's own: a shared object built and kept beside the project's shared
// libraries (the video encoder, the drawing half of the command line), loaded at its first use so
// that a program that never needs it never maps it or the libraries it pulls in. A loaded module
// stays loaded: objects it made may outlive any one use.

#include <string>

namespace ProjectModule {

// The address of entry in the module named file ("libzv_video.so"), loading it on the first call;
// nullptr with error set when the module or the entry is missing.
void* entry(const std::string& file, const char* entryName, std::string& error);

// Where the module named file is looked for: the folder this library was loaded from.
std::string path(const std::string& file);

} // namespace ProjectModule
