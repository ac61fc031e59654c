#include "tools/ProductFiles.h"

namespace {

constexpr ProductFile files[] = {
    {"Zorvi.dylib", "/Library/MobileSubstrate/DynamicLibraries/Zorvi.dylib", 0755, true},
    {"zorvipref.bundle/zorvipref", "/Library/PreferenceBundles/zorvipref.bundle/zorvipref", 0755, false},
    {"zorvipref.bundle/Info.plist", "/Library/PreferenceBundles/zorvipref.bundle/Info.plist", 0644, false},
    {"zorvipref.bundle/Root.plist", "/Library/PreferenceBundles/zorvipref.bundle/Root.plist", 0644, false},
    {"zorvipref.bundle/ColorPrefs.plist", "/Library/PreferenceBundles/zorvipref.bundle/ColorPrefs.plist", 0644,
     false},
    {"zorvipref.bundle/Entry.plist", "/Library/PreferenceLoader/Preferences/Zorvi.plist", 0644, false},
};

} // namespace

std::span<const ProductFile> productFiles() {
    return files;
}
