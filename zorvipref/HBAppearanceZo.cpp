#include "zorvipref/HBAppearanceZo.h"
#include "zorvipref/BundleState.h"

namespace {

// Each colour answer is a new colour made at the call; the appearance object keeps the last one of
// each getter so that the answer has an owner.
id keep(id self, const void* key, Ref<UIColor> colour) {
    objc_setAssociatedObject(self, key, colour, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    return colour.get();
}

template <Ref<UIColor> (*make)()> id colourAnswer(id self, SEL cmd) {
    return keep(self, cmd, make());
}

Ref<UIColor> white() {
    return UIColor::whiteColor();
}

} // namespace

Class HBAppearanceZo::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("HBAppearanceZo", HBAppearanceSettings::objcClass(),
                                   &instance_factory<HBAppearanceZo>);
        class_addMethod(c, "tintColor", &colourAnswer<purpleColour>);
        class_addMethod(c, "statusBarTintColor", &colourAnswer<purpleColour>);
        class_addMethod(c, "navigationBarTitleColor", &colourAnswer<white>);
        class_addMethod(c, "navigationBarTintColor", &colourAnswer<purpleColour>);
        class_addMethod(c, "tableViewCellSeparatorColor", &colourAnswer<invisibleSeparatorColour>);
        class_addMethod(c, "navigationBarBackgroundColor", &colourAnswer<purpleColour>);
        class_addMethod(
            c, "translucentNavigationBar", +[](id, SEL) -> bool { return true; });
        class_addMethod(
            c, "largeTitleStyle", +[](id, SEL) -> unsigned long { return 2; });
        return c;
    }();
    return cls;
}
