#include "platform/foundation/NSDictionary.h"

Class NSDictionary::objcClass() {
    static Class const cls =
        objc_defineClass("NSDictionary", NSObject::objcClass(), &instance_factory<NSDictionary>);
    return cls;
}

Ref<NSDictionary> NSDictionary::dictionary() {
    return make_object<NSDictionary>();
}

NSObject* NSDictionary::objectForKey(std::string_view key) const {
    auto it = m_entries.find(key);
    return it == m_entries.end() ? nullptr : it->second.get();
}

Class NSMutableDictionary::objcClass() {
    static Class const cls = objc_defineClass("NSMutableDictionary", NSDictionary::objcClass(),
                                              &instance_factory<NSMutableDictionary>);
    return cls;
}

Ref<NSMutableDictionary> NSMutableDictionary::dictionary() {
    return make_object<NSMutableDictionary>();
}

Ref<NSMutableDictionary> NSMutableDictionary::dictionaryWithDictionary(const NSDictionary* other) {
    auto dictionary = make_object<NSMutableDictionary>();
    if (other)
        dictionary->m_entries = other->entries();
    return dictionary;
}

void NSMutableDictionary::setObject(NSObject* object, std::string_view key) {
    if (!object) {
        removeObjectForKey(key);
        return;
    }
    auto it = m_entries.find(key);
    if (it != m_entries.end())
        it->second = object;
    else
        m_entries.emplace(std::string(key), Ref<NSObject>(object));
}

void NSMutableDictionary::removeObjectForKey(std::string_view key) {
    auto it = m_entries.find(key);
    if (it != m_entries.end())
        m_entries.erase(it);
}
