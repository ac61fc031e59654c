#pragma once

// Runtime objects as trace values: colours as [r, g, b, a], frames as [x, y, width, height],
// property-list values (strings, numbers, booleans) as themselves; nil as null.

#include "hosts/common/Json.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/UIColor.h"

Json colourJson(const UIColor* colour);
Json frameJson(const CGRect& frame);
// Strings, numbers and booleans as JSON values; any other object as its class name; nil as null.
Json plistJson(const NSObject* value);
// A dictionary as a JSON object (its values as plistJson gives them, dictionaries and arrays inside
// it as objects and arrays, to a depth of 8); any other object as {"class": its class name}; nil as
// null.
Json objectJson(const NSObject* value);
