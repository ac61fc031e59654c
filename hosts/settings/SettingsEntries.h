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
    std::string file;   // the entry's own file name
    std::string label;  // what the row shows (the file name when the entry cannot be read)
    std::string bundle; // "" when the entry names none
    std::string icon;
    std::string detail;
    bool isController = true;
    std::string problem; // why the entry cannot be opened, or ""
};

// Every entry of the device, in file-name order. Unreadable entries are listed with a problem.
std::vector<SettingsEntry> readSettingsEntries();

// "/Library/PreferenceBundles/<bundle>.bundle"
std::string bundleFolder(const std::string& bundle);
