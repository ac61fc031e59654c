#pragma once

// A host's window for people: the screen at the device's size, fitted to the display, animated at
// the display's refresh rate. The window redraws whenever something changed (an animation, a
// person's input, work on the main queue) and repaints whole whenever it is exposed again; it
// presents only the changed pixels. The host's client receives the pointer (in points of the
// screen) and the keys.

#include "hosts/common/ScriptedHost.h"
#include "platform/graphics/Geometry.h"

#include <string>
#include <vector>

class WindowClient {
public:
    virtual ~WindowClient() = default;
    virtual ScriptedHost& host() = 0;
    // The window's title: what the keys and the mouse do.
    virtual std::string helpLine() const = 0;
    // The help overlay's lines (? or F1), short enough for a phone's width.
    virtual std::vector<std::string> helpLines() const = 0;
    virtual void pointerDown(CGPoint) {}
    virtual void pointerMoved(CGPoint) {}
    virtual void pointerUp(CGPoint) {}
    // The wheel turned by dy points (positive: towards the end of the content).
    virtual void wheel(double) {}
    // A key: its SDL key code, and the character it types (0 for none). Answer false to close the
    // window.
    virtual bool key(int keycode, char character) = 0;
    // Once a pass, before the screen is drawn.
    virtual void beforeFrame() {}
};

// Runs until the window is closed; `command` names the program in messages. Answers the exit status
// (2 when there is no display to show it on, 1 when the window cannot be made).
int runWindow(WindowClient& client, const char* command);
