#include "platform/graphics/UIColor.h"
#include "runtime/MessageSend.h"

Class UIColor::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UIColor", NSObject::objcClass(), &instance_factory<UIColor>);
        class_addMethod(
            c, "CGColor", +[](id self, SEL) -> id { return self; });
        class_addMethod(
            c, "components", +[](id self, SEL) -> CGColor { return static_cast<UIColor*>(self)->cgColor(); });
        // The named colours are shared: a class method answers an object it keeps.
        Class meta = object_getMetaclass(c);
        class_addMethod(
            meta, "whiteColor", +[](id, SEL) -> id {
                static const Ref<UIColor> white = UIColor::whiteColor();
                return white.get();
            });
        class_addMethod(
            meta, "blackColor", +[](id, SEL) -> id {
                static const Ref<UIColor> black = UIColor::blackColor();
                return black.get();
            });
        class_addMethod(
            meta, "clearColor", +[](id, SEL) -> id {
                static const Ref<UIColor> clear = UIColor::clearColor();
                return clear.get();
            });
        return c;
    }();
    return cls;
}

Ref<UIColor> UIColor::colorWithRed(double red, double green, double blue, double alpha) {
    auto color = make_object<UIColor>();
    color->m_color = {red, green, blue, alpha};
    return color;
}

Ref<UIColor> UIColor::colorWithWhite(double white, double alpha) {
    return colorWithRed(white, white, white, alpha);
}

Ref<UIColor> UIColor::whiteColor() {
    return colorWithRed(1, 1, 1, 1);
}
Ref<UIColor> UIColor::blackColor() {
    return colorWithRed(0, 0, 0, 1);
}
Ref<UIColor> UIColor::clearColor() {
    return colorWithRed(0, 0, 0, 0);
}

Ref<UIColor> UIColor::colorWithAlphaComponent(double alpha) const {
    return colorWithRed(m_color.red, m_color.green, m_color.blue, alpha);
}
