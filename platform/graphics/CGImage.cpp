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

bool CGImage::isOpaque() const {
    int known = m_opaque.load(std::memory_order_relaxed);
    if (known < 0) {
        known = 1;
        for (int y = 0; y < height() && known; ++y) {
            const uint32_t* row = m_bitmap.row(y);
            for (int x = 0; x < width(); ++x)
                if ((row[x] >> 24) != 0xFF) {
                    known = 0;
                    break;
                }
        }
        m_opaque.store(known, std::memory_order_relaxed);
    }
    return known == 1;
}
