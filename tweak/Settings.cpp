#include "tweak/Settings.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSUserDefaults.h"
#include "tweak/TweakState.h"

Ref<NSObject> readPlistSetting(std::string_view key) {
    Ref<NSDictionary> settings = NSDictionary::dictionaryWithContentsOfFile(zorviPlistPath);
    if (!settings)
        settings = NSDictionary::dictionary();
    return settings->objectForKey(key);
}

void loadAppIdentifiers() {
    Ref<NSUserDefaults> suite = NSUserDefaults::initWithSuiteName(zorviAppSuite);
    struct Pair {
        const char* key;
        Ref<NSString>* variable;
    };
    const Pair pairs[] = {{"zorvi", &app1}, {"zorvi2", &app2}, {"zorvi3", &app3}, {"zorvi4", &app4}};
    for (const auto& [key, variable] : pairs) {
        // The identifier goes to the icon and launch operations, which need a string.
        if (auto* identifier = objc_cast<NSString>(suite ? suite->objectForKey(key) : nullptr))
            *variable = identifier;
    }
}
