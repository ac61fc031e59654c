#pragma once

// `zorvi dev`'s install: the files a build of the product makes, copied onto the current device
// where they differ from what it holds (each file replaced atomically), telling which changed so
// that exactly what loads them is restarted. The rest of the product's install (the tweak's filter,
// the bundle's icon) is no build output: `zorvi device create` and `update` lay it out.

#include <string>
#include <vector>

struct InstallChange {
    bool tweak = false;             // a file the lock screen loads
    bool bundle = false;            // a file Settings loads (the settings bundle, its plists, its entry)
    std::vector<std::string> files; // the device paths written
};

// Installs the built product from `libraries` (a build tree's lib); false with error set when a
// file could not be installed (those before it are in place, and in `change`).
bool installChanges(const std::string& libraries, InstallChange& change, std::string& error);
