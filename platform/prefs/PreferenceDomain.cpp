#include "platform/prefs/PreferenceDomain.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/PropertyList.h"
#include "platform/notify/DarwinNotificationCenter.h"

#include <unistd.h>

namespace PreferenceDomain {

bool isValidName(std::string_view domain) {
    return !domain.empty() && domain.size() <= 200 && domain != "." && domain != ".." &&
           domain.find('/') == std::string_view::npos && domain.find('\0') == std::string_view::npos;
}

std::string devicePath(std::string_view domain) {
    if (!isValidName(domain))
        return {};
    return "/var/mobile/Library/Preferences/" + std::string(domain) + ".plist";
}

std::string changeNotificationName(std::string_view domain) {
    return "zorvi.preferences.changed/" + std::string(domain);
}

Ref<NSDictionary> read(std::string_view domain) {
    std::string path = devicePath(domain);
    Ref<NSDictionary> values = path.empty() ? nullptr : NSDictionary::dictionaryWithContentsOfFile(path);
    return values ? values : NSDictionary::dictionary();
}

bool write(std::string_view domain, std::string_view key, NSObject* value) {
    std::string path = devicePath(domain);
    if (path.empty() || key.empty())
        return false;
    // Refused before the file is touched: what is stored stays as it was.
    auto entry = NSMutableDictionary::dictionary();
    entry->setObject(value, key);
    if (std::string why = PropertyList::unstorable(entry); !why.empty()) {
        NSLog("Preferences: " + std::string(key) + " in " + std::string(domain) + " not stored: it holds " +
              why);
        return false;
    }
    bool written =
        PropertyList::update(path, [&](NSMutableDictionary& values) { values.setObject(value, key); });
    if (written)
        DarwinNotificationCenter::shared().post(changeNotificationName(domain));
    return written;
}

bool removeAll(std::string_view domain) {
    std::string path = devicePath(domain);
    if (path.empty())
        return false;
    if (!DeviceFile::remove(path) && errno != ENOENT)
        return false;
    DarwinNotificationCenter::shared().post(changeNotificationName(domain));
    return true;
}

} // namespace PreferenceDomain
