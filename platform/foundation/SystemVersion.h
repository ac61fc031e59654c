#pragma once

// The device's system version, from "/System/Library/CoreServices/SystemVersion.plist"
// ("ProductVersion", such as "14.4" or "13.0.1").

#include <string>

struct OperatingSystemVersion {
    int majorVersion = 0;
    int minorVersion = 0;
    int patchVersion = 0;
};

namespace SystemVersion {

// The version string, or "" when the file or key is missing or not a string.
std::string productVersion();
// Parsed "major[.minor[.patch]]"; missing parts are 0, a malformed string is 0.0.0.
OperatingSystemVersion parse(const std::string& text);
OperatingSystemVersion current();
bool isAtLeast(const OperatingSystemVersion& version);

} // namespace SystemVersion
