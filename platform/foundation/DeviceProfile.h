#pragma once

// The simulated device's hardware: its screen in points, the scale from points to pixels and the
// display's refresh rate. Chosen when the device is created and kept in
// "/System/Library/CoreServices/DeviceProfile.plist".

#include <optional>
#include <string>
#include <string_view>

struct ScreenProfile {
    double width = 375;
    double height = 812;
    double scale = 3;
    double refreshRate = 60;

    bool operator==(const ScreenProfile&) const = default;
};

namespace DeviceProfile {

constexpr const char* devicePath = "/System/Library/CoreServices/DeviceProfile.plist";

// Accepts "WxH@S" with an optional "/RATE" (e.g. "375x812@3", "414x896@2/120"); nullopt for
// anything malformed or outside 100..5000 points, scale 1..4, rate 1..240.
std::optional<ScreenProfile> parseScreen(std::string_view text);
std::string formatScreen(const ScreenProfile& screen);

// The device's profile; the default profile when the file is missing or unreadable, and a value
// of the wrong type or out of range reads as the default for that value.
ScreenProfile screen();
bool writeScreen(const ScreenProfile& screen);

} // namespace DeviceProfile
