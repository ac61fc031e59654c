#pragma once

// The preference store of a domain. A binding ties a process variable to a key: the variable holds
// the stored value, or the default while none is stored (or the stored value has the wrong type),
// and is brought up to date on the main thread whenever any process changes the domain.

#include "platform/foundation/NSDictionary.h"
#include "runtime/NSObject.h"

#include <string>
#include <string_view>
#include <vector>

class HBPreferences : public NSObject {
public:
    static Class objcClass();
    // [[HBPreferences alloc] initWithIdentifier:]
    static Ref<HBPreferences> initWithIdentifier(std::string_view identifier);

    ~HBPreferences() override;

    const std::string& identifier() const { return m_identifier; }

    // registerBool:default:forKey: — sets *variable at once and on every later change.
    void registerBool(bool* variable, bool defaultValue, std::string_view key);

    NSObject* objectForKey(std::string_view key) const;
    bool boolForKey(std::string_view key, bool defaultValue) const;
    // Writes through to the domain (and so to every process's bindings).
    bool setObject(NSObject* value, std::string_view key);

    // Re-reads the domain and refreshes every binding; called by the change notification.
    void reload();

private:
    struct BoolBinding {
        bool* variable;
        bool defaultValue;
        std::string key;
    };

    void apply(const BoolBinding& binding) const;

    std::string m_identifier;
    Ref<NSDictionary> m_values;
    std::vector<BoolBinding> m_bools;
    int m_observerToken = 0;
};
