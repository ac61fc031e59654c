#include "tweak/TweakState.h"

#define ZV_EXPORT __attribute__((visibility("default")))

extern "C" {
ZV_EXPORT Ref<HBPreferences> pfs;
ZV_EXPORT bool enableblend = false;
ZV_EXPORT bool enablecustom = false;
ZV_EXPORT bool hidequick = false;
ZV_EXPORT Ref<UIColor> color;
ZV_EXPORT Ref<UIColor> color2;
ZV_EXPORT Ref<UIColor> color3;
ZV_EXPORT Ref<NSString> app1;
ZV_EXPORT Ref<NSString> app2;
ZV_EXPORT Ref<NSString> app3;
ZV_EXPORT Ref<NSString> app4;
ZV_EXPORT int32_t devicesensitivity = 0;
ZV_EXPORT Ref<NSString> openstring;
ZV_EXPORT Ref<NSObject> teachable;
}

// Hidden: a second copy of the library keeps its own rather than sharing (and clashing over) one.
__attribute__((visibility("hidden"))) bool hapticplayed = false;
