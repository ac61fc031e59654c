#pragma once

// The rule that picks the three wave colours: the wallpaper's average colour at opacity 1.0, 0.8
// and 0.6 when blending is on; else the three custom hex colours when custom colours are on; else
// white. Both the tweak and the settings bundle apply it, each to its own three colours and each
// with its own way to the wallpaper and to the custom values.

#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIImage.h"

#include <functional>
#include <string_view>

// Answers the wallpaper image, or nil. Asked only when blending is on, and at most once.
using WallpaperSource = std::function<Ref<UIImage>()>;
// Answers the value stored under a custom colour key ("line1", "line2", "line3"), of whatever type
// it was stored as, or nil. Asked only for custom colours, once per key in that order.
using CustomColorSource = std::function<Ref<NSObject>(std::string_view key)>;

// Replaces color, color2 and color3, in that order. Blending with no wallpaper image leaves all
// three nil (waves without a visible stroke); a custom value that is absent, not a string, or not
// a hex colour leaves its colour nil.
void resolveWaveColors(bool enableblend, bool enablecustom, const WallpaperSource& wallpaper,
                       const CustomColorSource& customValue, Ref<UIColor>& color, Ref<UIColor>& color2,
                       Ref<UIColor>& color3);

// The settings bundle's way to a custom value: the value under key in the property-list file
// "/User/Library/Preferences/com.vantrel.zorvi.plist", read afresh at every call (an unreadable
// file reads as empty), or nil.
Ref<NSObject> customColorValueFromFile(std::string_view key);
