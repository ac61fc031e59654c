#pragma once

// What the window's own keys do, whatever the host: R records, S takes a screenshot, ? or F1
// shows the help. Each says in the title and on stdout what it did.

#include "hosts/common/Window.h"
#include "runtime/Ref.h"

#include <string>

struct SDL_Window;
class UIView;

// The window's title while nothing else is to be said: the client's keys and the window's own.
std::string baseTitle(WindowClient& client);

// S: the screen as a PNG in device pixels, in the current folder.
void takeScreenshot(WindowClient& client, SDL_Window* window, const char* command);

// ? or F1: the keys, over the screen, until pressed again. `overlay` holds it while it shows.
void toggleHelp(WindowClient& client, Ref<UIView>& overlay);

// R: starts a recording in the current folder, or completes the one going.
void toggleRecording(WindowClient& client, SDL_Window* window, const char* command);
