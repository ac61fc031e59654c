#pragma once

// Text drawn into an image, for labels: the clock and hint of the lock screen, the rows and bars of
// the Settings pages.

#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIColor.h"

#include <optional>
#include <string>

// The text in the colour (white unless given), in the given font ("DejaVu Sans Light 72px"), at
// scale pixels per point, on a transparent image just large enough for it; nil for empty text or
// when it cannot be drawn.
Ref<CGImage> textImage(const std::string& text, const std::string& font, double scale,
                       CGColor colour = CGColor{1, 1, 1, 1});

// The same pixels as a bitmap, nullopt where textImage answers nil. Unlike textImage it makes no
// object of the runtime, so any thread may call it (each thread then sets up fonts of its own).
std::optional<Bitmap> textBitmap(const std::string& text, const std::string& font, double scale,
                                 CGColor colour = CGColor{1, 1, 1, 1});

// Starts setting up the font system (reading its configuration and its list of fonts) on a thread
// of the font library's own, so that a program drawing text soon can do its other start-up work
// meanwhile; the first text drawn waits for what is left. Harmless to call more than once.
void prepareTextDrawing();
