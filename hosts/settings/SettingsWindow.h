#pragma once

// The person's window of Settings: click a row to open, flip or edit it; drag the page or turn the
// wheel to scroll; click the bar's buttons; Esc goes back; in a colour editor, type a hex value and
// Return; Q quits.

#include "hosts/settings/SettingsApp.h"
#include "hosts/settings/SettingsScript.h"

#include <istream>

// Runs until the window is closed; a script, when given, runs first. Answers the exit status.
int runSettingsWindow(SettingsApp& app, SettingsScript& script, std::istream* input);
