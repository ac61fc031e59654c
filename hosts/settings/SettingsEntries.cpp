#include "hosts/settings/SettingsEntries.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"

#include <algorithm>
#include <filesystem>

namespace {

constexpr const char* entryFolder = "/Library/PreferenceLoader/Preferences";
// More entries than any device has; a folder flooded with files lists only these.
constexpr size_t maxEntries = 500;

bool isPlainName(const std::string& name) {
    return !name.empty() && name.size() <= 200 && name != "." && name != ".." &&
           name.find('/') == std::string::npos;
}

std::string text(const NSDictionary* entry, const char* key) {
    const std::string* value = string_value(entry->objectForKey(key));
    return value ? *value : std::string();
}

} // namespace

std::string bundleFolder(const std::string& bundle) {
    return "/Library/PreferenceBundles/" + bundle + ".bundle";
}

std::vector<SettingsEntry> readSettingsEntries() {
    std::vector<std::string> files;
    for (const std::string& name : DeviceFile::list(entryFolder))
        if (name.ends_with(".plist") && files.size() < maxEntries)
            files.push_back(name);
    std::sort(files.begin(), files.end());
    std::vector<SettingsEntry> entries;
    for (const auto& file : files) {
        SettingsEntry entry;
        entry.file = file;
        entry.label = file.substr(0, file.size() - 6);
        Ref<NSDictionary> plist =
            NSDictionary::dictionaryWithContentsOfFile(std::string(entryFolder) + "/" + file);
        auto* values = plist ? objc_cast<NSDictionary>(plist->objectForKey("entry")) : nullptr;
        if (!values) {
            entry.problem = "the settings entry " + file + " cannot be read";
            NSLog("Settings: " + entry.problem);
            entries.push_back(entry);
            continue;
        }
        if (std::string label = text(values, "label"); !label.empty())
            entry.label = label;
        entry.bundle = text(values, "bundle");
        entry.icon = text(values, "icon");
        entry.detail = text(values, "detail");
        if (auto* isController = objc_cast<NSNumber>(values->objectForKey("isController")))
            entry.isController = isController->boolValue();
        if (!isPlainName(entry.bundle)) {
            entry.problem = "the settings entry " + file + " names no bundle";
            NSLog("Settings: " + entry.problem);
        }
        entries.push_back(entry);
    }
    return entries;
}
