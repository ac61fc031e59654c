#include "platform/ui/UIViewController.h"
#include "platform/foundation/NSString.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScreen.h"
#include "runtime/Associations.h"

namespace {

UIViewController* asController(id self) {
    return static_cast<UIViewController*>(self);
}

} // namespace

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
        class_addMethod(
            c, "title", +[](id self, SEL) -> id {
                // Kept until the next call, so that the answer has an owner.
                static const char key = 0;
                Ref<NSString> title = NSString::stringWithUTF8String(asController(self)->title());
                objc_setAssociatedObject(self, &key, title, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
                return title.get();
            });
        class_addMethod(
            c, "setTitle:", +[](id self, SEL, id title) {
                const std::string* text = string_value(title);
                asController(self)->setTitle(text ? *text : std::string());
            });
        class_addMethod(
            c, "navigationItem", +[](id self, SEL) -> id { return asController(self)->navigationItem(); });
        class_addMethod(
            c, "navigationController",
            +[](id self, SEL) -> id { return asController(self)->navigationController(); });
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

void UIViewController::setTitle(const std::string& title) {
    m_title = title;
    // The bar shows the controller's title while its item has none.
    if (m_navigationItem)
        m_navigationItem->setTitle(m_navigationItem->title());
}

UINavigationItem* UIViewController::navigationItem() {
    if (!m_navigationItem)
        m_navigationItem = make_object<UINavigationItem>();
    return m_navigationItem.get();
}

UINavigationController* UIViewController::navigationController() const {
    return objc_cast<UINavigationController>(m_navigationController.loadRaw().get());
}

void UIViewController::setNavigationController(UINavigationController* controller) {
    m_navigationController.store(controller);
}
