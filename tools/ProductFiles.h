#pragma once

// The files a build of the product makes (in the build's lib folder) and where a device keeps them:
// what `zorvi device create` and `update` install, and what `zorvi dev` compares and copies.

#include <span>
#include <sys/types.h>

struct ProductFile {
    const char* built;  // in the build's lib folder
    const char* device; // where the device keeps it
    mode_t mode;
    bool tweak; // loaded by the lock screen; otherwise by Settings (the bundle, its plists, its entry)
};

std::span<const ProductFile> productFiles();

// Where the tweak's filter and the bundle's icon go: made at install, not built.
constexpr const char* tweakFilterPath = "/Library/MobileSubstrate/DynamicLibraries/Zorvi.plist";
constexpr const char* bundleIconPath = "/Library/PreferenceBundles/zorvipref.bundle/icon.png";
