#pragma once

// Preference domains: one property list per domain in "/var/mobile/Library/Preferences". Every
// write goes through here, updates only the keys it names (other writers' keys survive), and
// posts the domain's change notification so that running processes re-read it.

#include "platform/foundation/NSDictionary.h"

#include <string>
#include <string_view>

namespace PreferenceDomain {

// A domain name is a plain file name: not empty, no '/', not "." or "..", at most 200 bytes.
bool isValidName(std::string_view domain);
// "/var/mobile/Library/Preferences/<domain>.plist"; "" for an invalid name.
std::string devicePath(std::string_view domain);
// The notification posted after every change of the domain.
std::string changeNotificationName(std::string_view domain);

// The stored values; an empty dictionary when there is no file or it cannot be read.
Ref<NSDictionary> read(std::string_view domain);
// nil value removes the key. False when the name is invalid, the value holds what a property list
// cannot carry faithfully (text that is not UTF-8: refused with one log line, the file untouched) or
// the file could not be written.
bool write(std::string_view domain, std::string_view key, NSObject* value);
bool removeAll(std::string_view domain);

} // namespace PreferenceDomain
