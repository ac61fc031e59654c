#pragma once

// The person's window of Settings: click a row to open, flip or edit it; drag the page or turn the
// wheel to scroll; click the bar's buttons; Esc goes back; in a colour editor, type a hex value and
// Return; Q quits.

#include "hosts/common/Window.h"
#include "hosts/settings/SettingsApp.h"
#include "hosts/settings/SettingsScript.h"

#include <istream>
#include <memory>

// What the pointer and the keys do in Settings, with or without a window.
std::unique_ptr<WindowClient> makeSettingsInput(SettingsApp& app);

// Runs until the window is closed; a script, when given, runs first. Answers the exit status.
int runSettingsWindow(SettingsScript& script, std::istream* input, WindowClient& client);
