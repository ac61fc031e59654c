#include "zorvipref/BundleState.h"
#include "platform/foundation/NSString.h"
#include "platform/ui/UIBarButtonItem.h"

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

void setRightBarButton(id page, const char* title, const char* action, UIColor* tint) {
    Ref<UIBarButtonItem> button = make_object<UIBarButtonItem>();
    msg_send<id>(button, "initWithTitle:style:target:action:", NSString::stringWithUTF8String(title), 0L,
                 page, sel_registerName(action));
    msg_send(page, "setRespringButton:", button);
    msg_send(msg_send<id>(page, "respringButton"), "setTintColor:", tint);
    msg_send(msg_send<id>(page, "navigationItem"),
             "setRightBarButtonItem:", msg_send<id>(page, "respringButton"));
}
