#pragma once

// Colours from the hex strings the colour picker stores: any '#' is dropped, case is ignored,
// and surrounding white space is ignored. The digits are
//   RGB (3), ARGB (4), RRGGBB (6) or AARRGGBB (8: alpha first, e.g. "FFFF0000" is opaque red);
// a one-digit component stands for itself repeated ("F" is "FF"). A suffix ":ALPHA", a decimal
// from 0 to 1 such as "0.5" or ".5", replaces the alpha. Anything else names no colour.

#include "platform/graphics/UIColor.h"

#include <optional>
#include <string_view>

std::optional<CGColor> parseHexColor(std::string_view text);

// The class operation colorFromHexString: of UIColor. The value is whatever was stored: nil, or
// any value that is not a string, or a malformed string, answers nil.
Ref<UIColor> colorFromHexString(const NSObject* value);
