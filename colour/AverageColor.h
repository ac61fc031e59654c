#pragma once

// The category AverageColor of UIImage: the image reduced to one opaque colour. The same
// operation answers the selector "averageColor" on every UIImage once this library is loaded.

#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIImage.h"

// The mean of all the image's pixels as red, green and blue (premultiplied, so translucent parts
// count as if over black), with alpha 1.0. nil for a nil image.
Ref<UIColor> averageColor(const UIImage* image);
