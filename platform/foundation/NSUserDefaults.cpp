#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"
#include "runtime/MessageSend.h"

namespace {

constexpr const char* preferencesFolder = "/var/mobile/Library/Preferences/";

NSUserDefaults* self_cast(id self) {
    return static_cast<NSUserDefaults*>(self);
}

} // namespace

Class NSUserDefaults::objcClass() {
    static Class const cls = [] {
        Class c =
            objc_defineClass("NSUserDefaults", NSObject::objcClass(), &instance_factory<NSUserDefaults>);
        // Sent to a fresh instance: answers it, set up for the suite, or nil for a bad name.
        class_addMethod(
            c, "initWithSuiteName:", +[](id self, SEL, id name) -> id {
                const std::string* suite = string_value(name);
                if (!suite || NSUserDefaults::pathForSuite(*suite).empty())
                    return nullptr;
                self_cast(self)->m_suite = *suite;
                self_cast(self)->synchronize();
                return self;
            });
        class_addMethod(
            c, "objectForKey:", +[](id self, SEL, id key) -> id {
                const std::string* text = string_value(key);
                return text ? self_cast(self)->objectForKey(*text) : nullptr;
            });
        class_addMethod(
            c, "setObject:forKey:", +[](id self, SEL, id value, id key) {
                if (const std::string* text = string_value(key))
                    self_cast(self)->setObject(value, *text);
            });
        class_addMethod(
            c, "removeObjectForKey:", +[](id self, SEL, id key) {
                if (const std::string* text = string_value(key))
                    self_cast(self)->removeObjectForKey(*text);
            });
        class_addMethod(
            c, "synchronize", +[](id self, SEL) -> bool { return self_cast(self)->synchronize(); });
        return c;
    }();
    return cls;
}

Ref<NSUserDefaults> NSUserDefaults::initWithSuiteName(std::string_view suite) {
    if (pathForSuite(suite).empty())
        return nullptr;
    auto defaults = make_object<NSUserDefaults>();
    defaults->m_suite = std::string(suite);
    defaults->synchronize();
    return defaults;
}

std::string NSUserDefaults::pathForSuite(std::string_view suite) {
    // The name becomes a file name in the preferences folder and must stay one.
    if (suite.empty() || suite.size() > 200 || suite.find('/') != std::string_view::npos ||
        suite.find("..") != std::string_view::npos || suite.find('\0') != std::string_view::npos)
        return {};
    return preferencesFolder + std::string(suite) + ".plist";
}

NSObject* NSUserDefaults::objectForKey(std::string_view key) const {
    return m_values ? m_values->objectForKey(key) : nullptr;
}

void NSUserDefaults::setObject(NSObject* value, std::string_view key) {
    store(value, key);
}

void NSUserDefaults::removeObjectForKey(std::string_view key) {
    store(nullptr, key);
}

bool NSUserDefaults::synchronize() {
    std::string path = pathForSuite(m_suite);
    if (path.empty())
        return false;
    Ref<NSDictionary> values = PropertyList::readDictionary(path);
    m_values = values ? values : NSDictionary::dictionary();
    return true;
}

// Written through at once, re-reading the file under its lock so that keys written meanwhile by
// other processes survive; what is held here then matches the file. On a failed write (logged)
// nothing changes.
bool NSUserDefaults::store(NSObject* value, std::string_view key) {
    std::string path = pathForSuite(m_suite);
    if (path.empty())
        return false;
    Ref<NSDictionary> written;
    bool stored = PropertyList::update(path, [&](NSMutableDictionary& values) {
        values.setObject(value, key);
        written = &values;
    });
    if (stored)
        m_values = written;
    return stored;
}

namespace {

// Code that finds the class by name may run before anything here has made a suite object.
[[maybe_unused]] const Class registeredAtLoad = NSUserDefaults::objcClass();

} // namespace
