#include "hosts/settings/SettingsEntries.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr const char* entryFolder = "/Library/PreferenceLoader/Preferences";
// An entry is a few lines; anything larger is not one and is not read whole.
constexpr size_t maxEntryBytes = 64 * 1024;

bool isPlainName(const std::string& name) {
    return !name.empty() && name.size() <= 200 && name != "." && name != ".." &&
           name.find('/') == std::string::npos;
}

std::string text(const NSDictionary* entry, const char* key) {
    const std::string* value = string_value(entry->objectForKey(key));
    return value ? *value : std::string();
}

// The names that may be entries, in name order; other names are only counted. The folder is read
// name by name, so a flood of other files costs no memory.
std::vector<std::string> candidateNames(size_t& others) {
    std::vector<std::string> names;
    int fd = DeviceFile::open(entryFolder, O_RDONLY | O_DIRECTORY);
    DIR* folder = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!folder) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    while (dirent* item = ::readdir(folder)) {
        std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        bool mayBeFile = item->d_type == DT_REG || item->d_type == DT_LNK || item->d_type == DT_UNKNOWN;
        if (mayBeFile && name.size() > 6 && name.ends_with(".plist") && name.size() <= 200)
            names.push_back(std::move(name));
        else
            ++others;
    }
    ::closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
}

// The entry a file describes; "" in why when it is one that can be opened, else why it is not.
SettingsEntry readEntry(const std::string& file, std::string& why) {
    SettingsEntry entry;
    entry.file = file;
    entry.label = file.substr(0, file.size() - 6);
    std::vector<uint8_t> bytes;
    std::string error;
    if (DeviceFile::read(std::string(entryFolder) + "/" + file, maxEntryBytes, bytes, error) !=
        AtomicFile::ReadStatus::Read) {
        why = "cannot be read";
        return entry;
    }
    PropertyList::ParseResult parsed = PropertyList::parse(bytes);
    auto* plist = objc_cast<NSDictionary>(parsed.value.get());
    auto* values = plist ? objc_cast<NSDictionary>(plist->objectForKey("entry")) : nullptr;
    if (!values) {
        why = "not a settings entry";
        return entry;
    }
    if (std::string label = text(values, "label"); !label.empty())
        entry.label = label;
    entry.bundle = text(values, "bundle");
    entry.icon = text(values, "icon");
    entry.detail = text(values, "detail");
    if (auto* isController = objc_cast<NSNumber>(values->objectForKey("isController")))
        entry.isController = isController->boolValue();
    if (!isPlainName(entry.bundle))
        why = "names no bundle";
    return entry;
}

} // namespace

std::string bundleFolder(const std::string& bundle) {
    return "/Library/PreferenceBundles/" + bundle + ".bundle";
}

std::vector<SettingsEntry> readSettingsEntries() {
    size_t others = 0;
    std::vector<std::string> files = candidateNames(others);
    std::vector<SettingsEntry> entries;
    size_t skipped = 0;
    std::string firstSkipped;
    for (const auto& file : files) {
        std::string why;
        SettingsEntry entry = readEntry(file, why);
        if (why.empty()) {
            entries.push_back(std::move(entry));
        } else if (skipped++ == 0) {
            firstSkipped = file + " " + why;
        }
    }
    // One line for all of them: a folder flooded with junk must not flood the log too.
    if (skipped > 0 || others > 0)
        NSLog("Settings: left out of the list, as not settings entries: " + std::to_string(skipped) +
              " property lists" + (skipped ? " (the first, " + firstSkipped + ")" : std::string()) + " and " +
              std::to_string(others) + " other names in " + entryFolder);
    return entries;
}
