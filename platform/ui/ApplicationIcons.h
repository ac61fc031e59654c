#pragma once

// Icons of the installed apps: "/Applications/*.app", each with an Info.plist naming its bundle
// identifier ("CFBundleIdentifier"), its name ("CFBundleDisplayName") and its icon file
// ("CFBundleIconFile", a PNG or JPEG in the app's folder).

#include "platform/graphics/UIImage.h"

#include <optional>
#include <string>
#include <vector>

struct InstalledApp {
    std::string bundleIdentifier;
    std::string name;
    std::string folder; // device path of the .app folder
    std::string iconFile;
};

// Every installed app, by name.
std::vector<InstalledApp> installedApps();

// The installed app with that identifier; nullopt for nil, a non-string or an unknown identifier.
std::optional<InstalledApp> installedApp(const NSObject* bundleIdentifier);

// [UIImage _applicationIconImageForBundleIdentifier:format:scale:]: the app's icon at the given
// scale, or nil. The format is accepted as it is; every format answers the app's one icon.
Ref<UIImage> applicationIconImage(const NSObject* bundleIdentifier, int format, double scale);
