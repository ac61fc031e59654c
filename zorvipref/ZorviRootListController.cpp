#include "zorvipref/ZorviRootListController.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTask.h"
#include "zorvipref/BundleState.h"

namespace {

ZorviRootListController* asRoot(id self) {
    return static_cast<ZorviRootListController*>(self);
}

id init(id self, SEL cmd) {
    self = msg_send_super<id>(ZorviRootListController::objcClass(), self, cmd);
    if (!self)
        return nullptr;
    Ref<HBAppearanceSettings> appearance = make_object<HBAppearanceSettings>();
    msg_send(appearance, "setTintColor:", purpleColour());
    msg_send(appearance, "setTableViewCellSeparatorColor:", invisibleSeparatorColour());
    msg_send(appearance, "setNavigationBarTintColor:", UIColor::whiteColor());
    msg_send(appearance, "setNavigationBarBackgroundColor:", purpleColour());
    msg_send(appearance, "setNavigationBarTitleColor:", UIColor::whiteColor());
    msg_send(self, "hb_setAppearanceSettings:", appearance);

    setRightBarButton(self, "Respring", "respring:", UIColor::whiteColor().get());
    return self;
}

id specifiers(id self, SEL) {
    ZorviRootListController* page = asRoot(self);
    if (!page->storedSpecifiers()) {
        // Sent rather than called, so that a subclass's or a hook's loader is the one that runs.
        Ref<NSArray> list(objc_cast<NSArray>(msg_send<id>(
            self, "loadSpecifiersFromPlistName:target:", NSString::stringWithUTF8String("Root"), self)));
        page->setStoredSpecifiers(list);
    }
    return page->storedSpecifiers();
}

void respring(id, SEL, id) {
    Ref<NSTask> task = NSTask::task();
    msg_send(task, "setLaunchPath:", NSString::stringWithUTF8String("/usr/bin/killall"));
    msg_send(task,
             "setArguments:", NSArray::arrayWithObjects({NSString::stringWithUTF8String("backboardd")}));
    msg_send(task, "launch");
}

} // namespace

Class ZorviRootListController::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("ZorviRootListController", HBRootListController::objcClass(),
                                   &instance_factory<ZorviRootListController>);
        class_addMethod(c, "init", &init);
        class_addMethod(c, "specifiers", &specifiers);
        class_addMethod(c, "respring:", &respring);
        class_addMethod(
            c, "respringButton", +[](id self, SEL) -> id { return asRoot(self)->respringButton(); });
        class_addMethod(
            c, "setRespringButton:", +[](id self, SEL, id button) {
                asRoot(self)->setRespringButton(objc_cast<UIBarButtonItem>(button));
            });
        class_addMethod(
            c, "largeTitleStyle", +[](id, SEL) -> unsigned long { return 2; });
        return c;
    }();
    return cls;
}
