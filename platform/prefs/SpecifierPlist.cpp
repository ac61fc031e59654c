#include "platform/prefs/SpecifierPlist.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"
#include "runtime/Selector.h"

namespace {

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name.size() <= 200 && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

// The string under key; "" when absent, and a log line when present with another type.
std::string stringEntry(const NSDictionary* row, const char* key, std::string_view where) {
    NSObject* value = row->objectForKey(key);
    if (!value)
        return {};
    if (const std::string* text = string_value(value))
        return *text;
    NSLog(std::string(where) + ": \"" + key + "\" is not a string; ignored");
    return {};
}

} // namespace

Ref<PSSpecifier> specifierFromDictionary(const NSDictionary* row, NSObject* target, std::string_view where) {
    if (!row) {
        NSLog(std::string(where) + ": not a dictionary; row left out");
        return nullptr;
    }
    std::string cell = stringEntry(row, "cell", where);
    auto type = cellTypeNamed(cell);
    if (!type) {
        NSLog(std::string(where) + ": unknown cell kind \"" + cell + "\"; row left out");
        return nullptr;
    }
    Ref<PSSpecifier> specifier =
        PSSpecifier::preferenceSpecifierNamed(stringEntry(row, "label", where), target, *type);
    for (const auto& [key, value] : row->entries())
        specifier->setProperty(value.get(), key);
    specifier->setIdentifier(stringEntry(row, "id", where));
    if (std::string detail = stringEntry(row, "detail", where); !detail.empty()) {
        // A link to a class nobody registered still shows; opening it shows an error page.
        specifier->setDetailControllerClass(objc_getClass(detail.c_str()));
        if (!specifier->detailControllerClass())
            NSLog(std::string(where) + ": no page class " + detail);
    }
    if (std::string action = stringEntry(row, "action", where); !action.empty())
        specifier->setButtonAction(sel_registerName(action.c_str()));
    for (const char* key : {"key", "defaults", "PostNotification", "headerCellClass", "footerText"}) {
        if (row->objectForKey(key) && !string_value(row->objectForKey(key))) {
            stringEntry(row, key, where);
            specifier->setProperty(nullptr, key);
        }
    }
    return specifier;
}

Ref<NSMutableArray> loadSpecifiersFromPlist(std::string_view bundlePath, std::string_view name,
                                            NSObject* target) {
    if (!isPlainFileName(name)) {
        NSLog("Preferences: not a specifier plist name: \"" + std::string(name) + "\"");
        return nullptr;
    }
    std::string path = std::string(bundlePath) + "/" + std::string(name) + ".plist";
    Ref<NSDictionary> file = NSDictionary::dictionaryWithContentsOfFile(path);
    if (!file) {
        NSLog("Preferences: no specifier plist " + path);
        return nullptr;
    }
    auto* items = objc_cast<NSArray>(file->objectForKey("items"));
    if (!items) {
        NSLog("Preferences: " + path + " has no \"items\" list");
        return nullptr;
    }
    Ref<NSMutableArray> specifiers = NSMutableArray::array();
    for (size_t i = 0; i < items->count(); ++i) {
        std::string where = path + " item " + std::to_string(i + 1);
        if (Ref<PSSpecifier> specifier =
                specifierFromDictionary(objc_cast<NSDictionary>(items->objectAtIndex(i)), target, where))
            specifiers->addObject(specifier);
    }
    return specifiers;
}
