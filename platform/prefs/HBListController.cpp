#include "platform/prefs/HBListController.h"
#include "runtime/MessageSend.h"

namespace {

// An appearance colour asked through the runtime, so that subclasses answer for themselves.
UIColor* appearanceColour(NSObject* appearance, const char* name) {
    SEL selector = sel_registerName(name);
    return appearance && appearance->respondsToSelector(selector)
               ? objc_cast<UIColor>(msg_send<id>(appearance, selector))
               : nullptr;
}

} // namespace

Class HBListController::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("HBListController", PSListController::objcClass(),
                                   &instance_factory<HBListController>);
        class_addMethod(
            c, "hb_setAppearanceSettings:", +[](id self, SEL, id settings) {
                auto* page = static_cast<HBListController*>(self);
                page->m_appearance = settings;
                page->applyAppearanceToBar();
            });
        class_addMethod(
            c, "hb_appearanceSettings",
            +[](id self, SEL) -> id { return static_cast<HBListController*>(self)->appearanceSettings(); });
        class_addMethod(
            c, "viewWillAppear:", +[](id self, SEL cmd, bool animated) {
                auto* page = static_cast<HBListController*>(self);
                // Before the table is laid out, which leaves room for a large title.
                page->applyLargeTitleStyle();
                msg_send_super<void>(HBListController::objcClass(), self, cmd, animated);
                page->applyAppearanceToBar();
            });
        return c;
    }();
    return cls;
}

PSListController::TableLook HBListController::tableLook() {
    return {appearanceColour(m_appearance.get(), "tintColor"),
            appearanceColour(m_appearance.get(), "tableViewCellSeparatorColor")};
}

void HBListController::applyAppearanceToBar() {
    UINavigationController* navigation = navigationController();
    if (!navigation || navigation->topViewController() != this)
        return;
    UINavigationBar* bar = navigation->navigationBar();
    NSObject* appearance = m_appearance.get();
    bar->setBarTintColor(appearanceColour(appearance, "navigationBarBackgroundColor"));
    bar->setTintColor(appearanceColour(appearance, "navigationBarTintColor"));
    bar->setTitleColor(appearanceColour(appearance, "navigationBarTitleColor"));
    bar->setStatusBarColor(appearanceColour(appearance, "statusBarTintColor"));
    SEL translucent = sel_registerName("translucentNavigationBar");
    bar->setTranslucent(appearance && appearance->respondsToSelector(translucent)
                            ? std::optional<bool>(msg_send<bool>(appearance, translucent))
                            : std::nullopt);
}

unsigned long HBListController::largeTitleStyle() {
    SEL selector = sel_registerName("largeTitleStyle");
    if (respondsToSelector(selector))
        return msg_send<unsigned long>(this, selector);
    NSObject* appearance = m_appearance.get();
    if (appearance && appearance->respondsToSelector(selector))
        return msg_send<unsigned long>(appearance, selector);
    return HBAppearanceSettingsLargeTitleStyleRootOnly;
}

void HBListController::applyLargeTitleStyle() {
    using Mode = UINavigationItemLargeTitleDisplayMode;
    Mode mode;
    switch (largeTitleStyle()) {
    case HBAppearanceSettingsLargeTitleStyleAlways:
        mode = Mode::Always;
        break;
    case HBAppearanceSettingsLargeTitleStyleNever:
        mode = Mode::Never;
        break;
    default:
        mode = isKindOfClass(HBRootListController::objcClass()) ? Mode::Always : Mode::Never;
        break;
    }
    navigationItem()->setLargeTitleDisplayMode(mode);
}

Class HBRootListController::objcClass() {
    static Class const cls = objc_defineClass("HBRootListController", HBListController::objcClass(),
                                              &instance_factory<HBRootListController>);
    return cls;
}
