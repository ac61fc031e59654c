#pragma once

// The device's process table: one file per running process of the device in "/var/run/processes",
// named "<name>.<pid>" and holding the process's start time (the kernel's, in clock ticks since the
// machine started). A pid is ours only while a process with that pid and that start time exists,
// so an entry left behind by a crash never makes a reused pid look like one of the device's. The
// table lives in a folder people copy and share: an entry is only believed once the kernel says its
// process is this device's (see DeviceProcess).

#include "hosts/common/DeviceProcess.h"

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace ProcessTable {

struct Process {
    std::string name;
    pid_t pid = 0;
    DeviceProcess handle; // what signals go through
};

// The process's start time, or 0 when there is no such process.
unsigned long long startTime(pid_t pid);

// Records this process under name (in the current device root); false with why when it cannot be
// written (the device's programs still find it through the kernel, but a person should hear of it).
bool registerSelf(std::string_view name, std::string& why);
// Removes this process's entry.
void unregisterSelf();
// The device's live processes, by name then pid. Entries of processes that are gone (or whose pid
// another program now uses) are removed as they are found; an entry naming a process that is not
// this device's, or one of its processes under another name, is skipped, with a line in the device
// log. A process of the device that has no entry (it could not write one) is found all the same.
std::vector<Process> running();

} // namespace ProcessTable
