#pragma once

// Reading the settings that the settings pages write.

#include "runtime/Runtime.h"

#include <string_view>

constexpr const char* zorviDomain = "com.vantrel.zorvi";
constexpr const char* zorviPlistPath = "/User/Library/Preferences/com.vantrel.zorvi.plist";
constexpr const char* zorviAppSuite = "com.vantrel.zorvipref";

// The value stored under key in the settings file, read afresh, of whatever type; nil when the
// file cannot be read or has no such key.
Ref<NSObject> readPlistSetting(std::string_view key);

// Reads "zorvi".."zorvi4" of the app suite into app1..app4. A key that is absent, or holds anything
// but a string, leaves its variable as it was.
void loadAppIdentifiers();
