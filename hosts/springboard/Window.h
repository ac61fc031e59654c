#pragma once

// The person's window: the lock screen at the device's size, animated at the display's refresh
// rate. The mouse drags the app buttons; an unlock request brings up an authentication prompt;
// a launched app shows as a plain screen with its icon and name; L locks the device again.

#include "hosts/springboard/ScriptRunner.h"
#include "hosts/springboard/SpringBoard.h"

#include <istream>

// Runs until the window is closed; a script, when given, runs first. Answers the exit status.
int runWindow(SpringBoard& host, ScriptRunner& runner, std::istream* script);
