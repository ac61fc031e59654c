#include "platform/ui/UIViewController.h"
#include "platform/ui/UIScreen.h"

Class UIViewController::objcClass() {
    static Class const cls = [] {
        Class c =
            objc_defineClass("UIViewController", NSObject::objcClass(), &instance_factory<UIViewController>);
        class_addMethod(
            c, "view", +[](id self, SEL) -> id { return static_cast<UIViewController*>(self)->view(); });
        class_addMethod(
            c, "isViewLoaded",
            +[](id self, SEL) -> bool { return static_cast<UIViewController*>(self)->isViewLoaded(); });
        class_addMethod(
            c, "loadView", +[](id self, SEL) {
                auto* controller = static_cast<UIViewController*>(self);
                CGRect frame = controller->m_initialFrame.value_or(UIScreen::mainScreen()->bounds());
                controller->m_view = makeViewWithFrame<UIView>(frame);
            });
        class_addMethod(
            c, "viewDidLoad", +[](id, SEL) {});
        class_addMethod(
            c, "viewWillAppear:", +[](id, SEL, bool) {});
        class_addMethod(
            c, "viewDidAppear:", +[](id, SEL, bool) {});
        return c;
    }();
    return cls;
}

UIView* UIViewController::view() {
    // viewDidLoad may ask for the view again; it is there by then.
    if (!m_view && !m_loading) {
        m_loading = true;
        msg_send(this, "loadView");
        if (!m_view)
            m_view = makeViewWithFrame<UIView>(m_initialFrame.value_or(UIScreen::mainScreen()->bounds()));
        msg_send(this, "viewDidLoad");
        m_loading = false;
    }
    return m_view.get();
}
