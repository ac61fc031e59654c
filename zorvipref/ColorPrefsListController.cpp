#include "zorvipref/ColorPrefsListController.h"
#include "platform/foundation/NSString.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "zorvipref/BundleState.h"

namespace {

ColorPrefsListController* asPage(id self) {
    return static_cast<ColorPrefsListController*>(self);
}

id init(id self, SEL cmd) {
    self = msg_send_super<id>(ColorPrefsListController::objcClass(), self, cmd);
    if (!self)
        return nullptr;
    Ref<HBAppearanceSettings> appearance = make_object<HBAppearanceSettings>();
    msg_send(appearance, "setTintColor:", purpleColour());
    msg_send(appearance, "setTableViewCellSeparatorColor:", invisibleSeparatorColour());
    msg_send(self, "hb_setAppearanceSettings:", appearance);

    setRightBarButton(self, "Update", "reload:", purpleColour().get());
    return self;
}

void setSpecifier(id self, SEL cmd, id specifier) {
    msg_send(self, "loadFromSpecifier:", specifier);
    msg_send_super<void>(ColorPrefsListController::objcClass(), self, cmd, specifier);
}

void loadFromSpecifier(id self, SEL, id specifier) {
    Ref<NSObject> plistName(
        msg_send<id>(specifier, "propertyForKey:", NSString::stringWithUTF8String("Color")));
    Ref<NSString> title(objc_cast<NSString>(msg_send<id>(specifier, "name")));
    // Sent rather than called, so that a subclass's or a hook's loader is the one that runs.
    Ref<NSArray> list(
        objc_cast<NSArray>(msg_send<id>(self, "loadSpecifiersFromPlistName:target:", plistName, self)));
    asPage(self)->setStoredSpecifiers(list);
    msg_send(self, "setTitle:", title);
    msg_send(msg_send<id>(self, "navigationItem"), "setTitle:", title);
}

void reload(id, SEL, id) {
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), reloadNotification,
                                         nullptr, nullptr, true);
}

} // namespace

Class ColorPrefsListController::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("ColorPrefsListController", HBListController::objcClass(),
                                   &instance_factory<ColorPrefsListController>);
        class_addMethod(c, "init", &init);
        class_addMethod(c, "setSpecifier:", &setSpecifier);
        class_addMethod(c, "loadFromSpecifier:", &loadFromSpecifier);
        class_addMethod(
            c, "specifiers", +[](id self, SEL) -> id { return asPage(self)->storedSpecifiers(); });
        class_addMethod(
            c, "shouldReloadSpecifiersOnResume", +[](id, SEL) -> bool { return true; });
        class_addMethod(c, "reload:", &reload);
        class_addMethod(
            c, "respringButton", +[](id self, SEL) -> id { return asPage(self)->respringButton(); });
        class_addMethod(
            c, "setRespringButton:", +[](id self, SEL, id button) {
                asPage(self)->setRespringButton(objc_cast<UIBarButtonItem>(button));
            });
        return c;
    }();
    return cls;
}
