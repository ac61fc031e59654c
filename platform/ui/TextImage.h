#pragma once

// Text drawn into an image, for labels: the clock and hint of the lock screen, the rows and bars of
// the Settings pages.

#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIColor.h"

#include <string>

// The text in the colour (white unless given), in the given font ("DejaVu Sans Light 72px"), at
// scale pixels per point, on a transparent image just large enough for it; nil for empty text or
// when it cannot be drawn.
Ref<CGImage> textImage(const std::string& text, const std::string& font, double scale,
                       CGColor colour = CGColor{1, 1, 1, 1});
