#pragma once

// Text drawn into an image, for the host's own labels (the clock, the date, the hint).

#include "platform/graphics/CGImage.h"

#include <string>

// The text in white, in the given font ("DejaVu Sans Light 72px"), at scale pixels per point, on a
// transparent image just large enough for it; nil when it cannot be drawn.
Ref<CGImage> textImage(const std::string& text, const std::string& font, double scale);
