#include "zorvipref/BundleState.h"

#define ZV_EXPORT __attribute__((visibility("default")))

extern "C" {
ZV_EXPORT Ref<HBPreferences> pfs;
ZV_EXPORT bool enablecustom = false;
ZV_EXPORT bool enableblend = false;
ZV_EXPORT Ref<UIColor> color;
ZV_EXPORT Ref<UIColor> color2;
ZV_EXPORT Ref<UIColor> color3;
ZV_EXPORT Ref<UIColor> corona;
ZV_EXPORT Weak<UIView> reloadview;
}

Ref<UIColor> purpleColour() {
    return UIColor::colorWithRed(0.55, 0.28, 0.82, 1.0);
}

Ref<UIColor> invisibleSeparatorColour() {
    return UIColor::colorWithWhite(0.0, 0.0);
}
