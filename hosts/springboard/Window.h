#pragma once

// The person's window of the lock screen: the mouse drags the app buttons; an unlock request brings
// up an authentication prompt (a click or any key authenticates, Esc fails); a launched app shows as
// a plain screen with its icon and name; L locks the device again, H shows a new hint, Q quits.

#include "hosts/common/Window.h"
#include "hosts/springboard/ScriptRunner.h"
#include "hosts/springboard/SpringBoard.h"

#include <istream>
#include <memory>

// What the pointer and the keys do on the lock screen, with or without a window.
std::unique_ptr<WindowClient> makeLockScreenInput(SpringBoard& host);

// Runs until the window is closed; a script, when given, runs first. Answers the exit status.
int runSpringBoardWindow(SpringBoard& host, ScriptRunner& runner, std::istream* script, WindowClient& input);
