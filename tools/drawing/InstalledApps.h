#pragma once

// The apps a new device comes with, and how they are installed: "/Applications/<Name>.app" with an
// Info.plist (bundle identifier, display name) and an icon drawn for it.

#include <string>
#include <vector>

struct AppDescription {
    std::string bundleIdentifier;
    std::string name;
    double red, green, blue; // the icon's colour
    std::string glyph;       // one or two characters drawn on the icon
};

const std::vector<AppDescription>& defaultApps();

// Draws an app's icon (a rounded square in its colour with its glyph) as a PNG at a host path.
bool drawIcon(const AppDescription& app, const std::string& devicePath);

// Installs the app into the current device root; false with a message on failure.
bool installApp(const AppDescription& app, std::string& error);
