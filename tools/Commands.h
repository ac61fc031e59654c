#pragma once

// The subcommands of `zorvi`. Each takes the arguments after its own name and answers the exit
// status; a bad command line prints a clear message and answers 2.

#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

int commandDevice(const Arguments& args);
int commandDefaults(const Arguments& args);
int commandWallpaper(const Arguments& args);
int commandSpringboard(const Arguments& args);
int commandSettings(const Arguments& args);
int commandBoot(const Arguments& args);
int commandLog(const Arguments& args);
int commandRespring(const Arguments& args);
int commandWaves(const Arguments& args);
int commandRecord(const Arguments& args);
