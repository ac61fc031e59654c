#pragma once

// The text a view shows when a host draws it as a picture (the lock screen's clock and date, a
// banner): kept beside the view so that whoever describes the screen can read what a person reads.

#include "platform/ui/UIView.h"

#include <string>

void setViewText(UIView* view, const std::string& text);
// nullptr when the view shows no text of this kind.
const std::string* viewText(const UIView* view);
