#pragma once

// Dictionaries keyed by strings, as property lists have them. The dictionary owns its values.

#include "runtime/NSObject.h"

#include <map>
#include <string>
#include <string_view>

class NSDictionary : public NSObject {
public:
    static Class objcClass();
    static Ref<NSDictionary> dictionary();
    // The dictionary at the root of the property-list file at a device path, or nil when the file
    // is missing, unreadable, malformed, too large or deep, or not rooted in a dictionary. One line
    // goes to the device log for every reason but a missing file. (Defined with the property-list
    // reader.)
    static Ref<NSDictionary> dictionaryWithContentsOfFile(std::string_view devicePath);

    NSDictionary() = default;
    size_t count() const { return m_entries.size(); }
    NSObject* objectForKey(std::string_view key) const;
    const std::map<std::string, Ref<NSObject>, std::less<>>& entries() const { return m_entries; }

protected:
    std::map<std::string, Ref<NSObject>, std::less<>> m_entries;
};

class NSMutableDictionary : public NSDictionary {
public:
    static Class objcClass();
    static Ref<NSMutableDictionary> dictionary();
    static Ref<NSMutableDictionary> dictionaryWithDictionary(const NSDictionary* other);

    // nil removes the key.
    void setObject(NSObject* object, std::string_view key);
    void removeObjectForKey(std::string_view key);
};
