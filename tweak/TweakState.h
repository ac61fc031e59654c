#pragma once

// The tweak's process-wide state. Plain globals with C names, exported from the library so that
// other code in the process finds them by name.

#include "platform/foundation/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/prefs/HBPreferences.h"
#include "runtime/Runtime.h"

#include <cstdint>

extern "C" {
extern Ref<HBPreferences> pfs;
extern bool enableblend;
extern bool enablecustom;
extern bool hidequick;
extern Ref<UIColor> color;
extern Ref<UIColor> color2;
extern Ref<UIColor> color3;
extern Ref<NSString> app1;
extern Ref<NSString> app2;
extern Ref<NSString> app3;
extern Ref<NSString> app4;
extern int32_t devicesensitivity;
extern Ref<NSString> openstring;
extern Ref<NSObject> teachable;
}

// Private to the tweak: the drag's one-shot haptic flag.
extern __attribute__((visibility("hidden"))) bool hapticplayed;
