#pragma once

// The bundle's palette as fixed appearance answers. Nothing in the bundle makes one; the class is
// registered by name for whoever asks for it.

#include "platform/prefs/HBAppearanceSettings.h"

class HBAppearanceZo : public HBAppearanceSettings {
public:
    static Class objcClass();
};
