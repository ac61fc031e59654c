#pragma once

// The simulated device's file system. Every absolute device path ("/var/mobile/...", "/User/...")
// maps into one directory, the device root; nothing is read or written outside it. A process
// learns its root from the environment variable ZV_DEVICE_ROOT, which the device's processes
// inherit, or from setCurrent().

#include <optional>
#include <string>
#include <string_view>

namespace DeviceRoot {

constexpr const char* environmentVariable = "ZV_DEVICE_ROOT";

// The root directory (absolute, no trailing slash), or "" when none is set.
const std::string& current();
// Sets the root for this process and its children (the environment variable too).
void setCurrent(std::string_view directory);

// The host path of an absolute device path, or nullopt when there is no root or the path is not
// absolute or would climb out of the root through "..".
std::optional<std::string> hostPath(std::string_view devicePath);

// The default device of this user: $ZV_DEFAULT_DEVICE, else $XDG_DATA_HOME/zorvi/device, else
// ~/.local/share/zorvi/device.
std::string defaultDirectory();

} // namespace DeviceRoot
