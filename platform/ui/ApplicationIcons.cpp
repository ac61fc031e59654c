#include "platform/ui/ApplicationIcons.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"

#include <filesystem>

namespace {

constexpr size_t maxIconBytes = 8u << 20;

std::string stringOr(const NSDictionary* info, const char* key, const std::string& fallback) {
    const std::string* value = info ? string_value(info->objectForKey(key)) : nullptr;
    return value ? *value : fallback;
}

} // namespace

std::optional<InstalledApp> installedApp(const NSObject* bundleIdentifier) {
    const std::string* wanted = string_value(bundleIdentifier);
    auto folder = DeviceRoot::hostPath("/Applications");
    if (!wanted || wanted->empty() || !folder)
        return std::nullopt;
    std::error_code error;
    for (std::filesystem::directory_iterator it(*folder, error), end; !error && it != end;
         it.increment(error)) {
        std::string name = it->path().filename().string();
        if (!name.ends_with(".app"))
            continue;
        std::string appFolder = "/Applications/" + name;
        Ref<NSDictionary> info = NSDictionary::dictionaryWithContentsOfFile(appFolder + "/Info.plist");
        if (stringOr(info, "CFBundleIdentifier", "") != *wanted)
            continue;
        InstalledApp app;
        app.bundleIdentifier = *wanted;
        app.name = stringOr(info, "CFBundleDisplayName",
                            stringOr(info, "CFBundleName", name.substr(0, name.size() - 4)));
        app.folder = appFolder;
        app.iconFile = stringOr(info, "CFBundleIconFile", "");
        return app;
    }
    return std::nullopt;
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
