#pragma once

// User-defaults suites: "<suite>.plist" in "/var/mobile/Library/Preferences". A suite object
// reads the file when it is made; objectForKey answers what was stored, of whatever type. Through
// the runtime: initWithSuiteName:, objectForKey:, setObject:forKey:, removeObjectForKey:,
// synchronize.

#include "platform/foundation/NSDictionary.h"
#include "runtime/NSObject.h"

#include <string>
#include <string_view>

class NSUserDefaults : public NSObject {
public:
    static Class objcClass();
    static Ref<NSUserDefaults> initWithSuiteName(std::string_view suite);
    // "/var/mobile/Library/Preferences/<suite>.plist"; empty for a name that is not a plain file name.
    static std::string pathForSuite(std::string_view suite);

    NSObject* objectForKey(std::string_view key) const;
    void setObject(NSObject* value, std::string_view key); // written through at once
    void removeObjectForKey(std::string_view key);
    // Re-reads the suite, taking in what other processes have written since; false when the suite
    // has no valid name.
    bool synchronize();

private:
    bool store(NSObject* value, std::string_view key);

    std::string m_suite;
    Ref<NSDictionary> m_values;
};
