#include "platform/ui/ApplicationIcons.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"

#include <algorithm>
#include <filesystem>
#include <functional>

namespace {

constexpr size_t maxIconBytes = 8u << 20;

std::string stringOr(const NSDictionary* info, const char* key, const std::string& fallback) {
    const std::string* value = info ? string_value(info->objectForKey(key)) : nullptr;
    return value ? *value : fallback;
}

// More apps than any device holds; a folder flooded with them lists only these.
constexpr size_t maxApps = 1000;

// Every app folder's description, in folder order; stops early once `until` accepts one.
std::vector<InstalledApp> scanApps(const std::function<bool(const InstalledApp&)>& until) {
    std::vector<InstalledApp> apps;
    for (const std::string& name : DeviceFile::list("/Applications")) {
        if (apps.size() >= maxApps)
            break;
        if (!name.ends_with(".app"))
            continue;
        std::string appFolder = "/Applications/" + name;
        Ref<NSDictionary> info = NSDictionary::dictionaryWithContentsOfFile(appFolder + "/Info.plist");
        InstalledApp app;
        app.bundleIdentifier = stringOr(info, "CFBundleIdentifier", "");
        if (app.bundleIdentifier.empty())
            continue;
        app.name = stringOr(info, "CFBundleDisplayName",
                            stringOr(info, "CFBundleName", name.substr(0, name.size() - 4)));
        app.folder = appFolder;
        app.iconFile = stringOr(info, "CFBundleIconFile", "");
        apps.push_back(app);
        if (until && until(apps.back()))
            break;
    }
    return apps;
}

} // namespace

std::vector<InstalledApp> installedApps() {
    std::vector<InstalledApp> apps = scanApps(nullptr);
    std::sort(apps.begin(), apps.end(), [](const InstalledApp& a, const InstalledApp& b) {
        return a.name != b.name ? a.name < b.name : a.bundleIdentifier < b.bundleIdentifier;
    });
    return apps;
}

std::optional<InstalledApp> installedApp(const NSObject* bundleIdentifier) {
    const std::string* wanted = string_value(bundleIdentifier);
    if (!wanted || wanted->empty())
        return std::nullopt;
    std::vector<InstalledApp> apps =
        scanApps([&](const InstalledApp& app) { return app.bundleIdentifier == *wanted; });
    if (apps.empty() || apps.back().bundleIdentifier != *wanted)
        return std::nullopt;
    return apps.back();
}

Ref<UIImage> applicationIconImage(const NSObject* bundleIdentifier, int, double scale) {
    auto app = installedApp(bundleIdentifier);
    // An icon file name must stay inside the app's folder.
    if (!app || app->iconFile.empty() || app->iconFile.find('/') != std::string::npos ||
        app->iconFile == "..")
        return nullptr;
    Ref<NSData> data = NSData::dataWithContentsOfFile(app->folder + "/" + app->iconFile, maxIconBytes);
    return data ? UIImage::imageWithData(data, scale > 0 ? scale : 1) : nullptr;
}
