#include "platform/graphics/CGImage.h"
#include "runtime/MessageSend.h"

Class CGImage::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("CGImage", NSObject::objcClass(), &instance_factory<CGImage>);
        class_addMethod(
            c, "width", +[](id self, SEL) -> unsigned long {
                return static_cast<unsigned long>(static_cast<CGImage*>(self)->width());
            });
        class_addMethod(
            c, "height", +[](id self, SEL) -> unsigned long {
                return static_cast<unsigned long>(static_cast<CGImage*>(self)->height());
            });
        return c;
    }();
    return cls;
}

CGImage::CGImage() : m_bitmap(*Bitmap::create(1, 1)) {}

Ref<CGImage> CGImage::imageWithBitmap(Bitmap bitmap) {
    return make_object<CGImage>(std::move(bitmap));
}
