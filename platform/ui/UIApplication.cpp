#include "platform/ui/UIApplication.h"

Class UIApplication::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UIApplication", NSObject::objcClass(), &instance_factory<UIApplication>);
        class_addMethod(
            c,
            "launchApplicationWithIdentifier:suspended:", +[](id self, SEL, id identifier, bool suspended) {
                return static_cast<UIApplication*>(self)->launchApplication(identifier, suspended);
            });
        class_addMethod(
            object_getMetaclass(c), "sharedApplication",
            +[](id, SEL) -> id { return UIApplication::sharedApplication(); });
        return c;
    }();
    return cls;
}

UIApplication* UIApplication::sharedApplication() {
    // One per process, alive until it ends, as on the device.
    static UIApplication* const shared = make_object<UIApplication>().leak();
    return shared;
}

bool UIApplication::launchApplication(NSObject* identifier, bool suspended) {
    return m_launchHandler ? m_launchHandler(identifier, suspended) : false;
}
