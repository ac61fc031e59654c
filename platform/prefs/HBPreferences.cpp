#include "platform/prefs/HBPreferences.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/NSNumber.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/prefs/PreferenceDomain.h"

Class HBPreferences::objcClass() {
    static Class const cls =
        objc_defineClass("HBPreferences", NSObject::objcClass(), &instance_factory<HBPreferences>);
    return cls;
}

Ref<HBPreferences> HBPreferences::initWithIdentifier(std::string_view identifier) {
    auto preferences = make_object<HBPreferences>();
    preferences->m_identifier = std::string(identifier);
    preferences->m_values = PreferenceDomain::read(identifier);
    if (PreferenceDomain::isValidName(identifier)) {
        HBPreferences* raw = preferences.get();
        preferences->m_observerToken = DarwinNotificationCenter::shared().addObserver(
            PreferenceDomain::changeNotificationName(identifier),
            [raw](const std::string&) { raw->reload(); });
    }
    return preferences;
}

HBPreferences::~HBPreferences() {
    if (m_observerToken)
        DarwinNotificationCenter::shared().removeObserver(m_observerToken);
}

void HBPreferences::registerBool(bool* variable, bool defaultValue, std::string_view key) {
    if (!variable)
        return;
    m_bools.push_back({variable, defaultValue, std::string(key)});
    apply(m_bools.back());
}

NSObject* HBPreferences::objectForKey(std::string_view key) const {
    return m_values ? m_values->objectForKey(key) : nullptr;
}

bool HBPreferences::boolForKey(std::string_view key, bool defaultValue) const {
    // Only numbers and booleans count; any other stored type reads as absent.
    auto* number = objc_cast<NSNumber>(objectForKey(key));
    return number ? number->boolValue() : defaultValue;
}

bool HBPreferences::setObject(NSObject* value, std::string_view key) {
    if (!PreferenceDomain::write(m_identifier, key, value))
        return false;
    reload();
    return true;
}

void HBPreferences::reload() {
    m_values = PreferenceDomain::read(m_identifier);
    for (const auto& binding : m_bools)
        apply(binding);
}

void HBPreferences::apply(const BoolBinding& binding) const {
    NSObject* stored = objectForKey(binding.key);
    if (stored && !objc_cast<NSNumber>(stored))
        NSLog("Preferences: " + m_identifier + " " + binding.key + " is not a boolean; using " +
              (binding.defaultValue ? "true" : "false"));
    *binding.variable = boolForKey(binding.key, binding.defaultValue);
}
