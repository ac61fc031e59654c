#pragma once

// The system's own programs. A device folder holds the user's data and what the user installed; the
// system itself comes from the runtime, as a simulator's system files do. A device path naming a
// system program ("/usr/bin/killall") therefore runs the program built beside this one, whatever
// file the device holds at that path. Other device paths are the device's own programs.

#include <optional>
#include <string>
#include <string_view>

namespace SystemPrograms {

// The folder holding the system's programs: the folder of this process's own program.
std::string folder();

// The host path of the system program a device path names, or nullopt when it names none. When the
// device holds a different file at that path, the device log says that it is not run.
std::optional<std::string> locate(std::string_view devicePath);

} // namespace SystemPrograms
