#pragma once

// An alert over the whole screen: a dimmed backdrop and a box with a title, a message and "OK".
// The Settings application shows one when something a tap asked for could not be done; the next
// tap, anywhere, or the next action of a script, dismisses it.

#include "platform/ui/UIView.h"

#include <string>

class SettingsAlert {
public:
    // Shows the alert on top of screen, replacing one already shown; the message's lines are parted
    // by newlines.
    void show(UIView* screen, const std::string& title, const std::string& message);
    // Answers whether one was shown.
    bool dismiss();
    bool shown() const { return m_view != nullptr; }
    const std::string& title() const { return m_title; }
    const std::string& message() const { return m_message; }

private:
    Ref<UIView> m_view;
    std::string m_title;
    std::string m_message;
};
