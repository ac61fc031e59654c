#pragma once

// What `zorvi dev` asks of a CMake build tree: which source folder it was made from, and building
// only the product's targets in it, with the compiler's output kept for its first errors.

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

// The product's targets that sources changed under `changed` (paths relative to the source folder)
// can reach: the tweak's alone for tweak/, the settings bundle's alone for zorvipref/, both for
// anything else (what they share, or no path: the first build).
std::vector<std::string> productTargets(const std::set<std::string>& changed);

// The source folder the build tree was configured from (its CMakeCache.txt says); "" when the
// folder is no CMake build tree.
std::string buildTreeSource(const std::string& build);

struct BuildOutcome {
    bool built = false;
    bool interrupted = false; // a signal came on `interrupt` first: the build was ended
    double seconds = 0;
    std::string output; // what the build printed, stdout and stderr together (bounded)
};

// Runs `cmake --build BUILD --target T...` in a process group of its own, so that all of it can be
// ended. `interrupt` (or -1) is a descriptor that turns readable when the build must stop.
BuildOutcome buildTargets(const std::string& build, const std::vector<std::string>& targets, int interrupt);

// The platform's shared libraries in the build tree's lib folder (what the device's processes load
// from the build, the product with them), each with its size and time: a build that changes any
// changes what both the lock screen and Settings run.
std::map<std::string, std::pair<uintmax_t, std::filesystem::file_time_type>>
sharedLibraries(const std::string& build);

// The first `count` error lines of a build's output ("file:line:col: error: ..." from the compiler,
// the linker's "undefined reference", make's "***"), or its last lines when none says error.
std::vector<std::string> firstErrors(const std::string& output, size_t count);
