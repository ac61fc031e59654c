#pragma once

// The Settings application's entries: each property list in "/Library/PreferenceLoader/Preferences"
// adds one row to its first page. The list's "entry" dictionary names the settings bundle
// ("bundle": the folder "/Library/PreferenceBundles/<bundle>.bundle"), the row's "label", its "icon"
// (an image file in the bundle's folder), its "cell" kind (PSLinkCell), whether the bundle's page
// is a list controller ("isController") and, optionally, the page's class ("detail"; else the
// bundle's principal class).

#include <string>
#include <vector>

struct SettingsEntry {
    std::string file;  // the entry's own file name
    std::string label; // what the row shows (the file name when the entry has no label)
    std::string bundle;
    std::string icon;
    std::string detail;
    bool isController = true;
};

// Every entry of the device that names a bundle, in file-name order. Anything else in the folder
// (files that are not property lists, cannot be read, are larger than an entry can be, or name no
// bundle) is left out cheaply, and one log line says how many and which came first; an entry that
// names a bundle that cannot be loaded is listed, and opening it shows why.
std::vector<SettingsEntry> readSettingsEntries();

// "/Library/PreferenceBundles/<bundle>.bundle"
std::string bundleFolder(const std::string& bundle);
