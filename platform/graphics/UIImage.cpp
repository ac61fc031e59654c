#include "platform/graphics/UIImage.h"
#include "platform/foundation/NSData.h"
#include "platform/graphics/ImageImport.h"
#include "platform/graphics/UIGraphics.h"
#include "runtime/MessageSend.h"

#include <cmath>

Class UIImage::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UIImage", NSObject::objcClass(), &instance_factory<UIImage>);
        class_addMethod(
            c, "CGImage", +[](id self, SEL) -> id { return static_cast<UIImage*>(self)->cgImage(); });
        class_addMethod(
            c, "scale", +[](id self, SEL) -> double { return static_cast<UIImage*>(self)->scale(); });
        class_addMethod(
            c, "size", +[](id self, SEL) -> CGSize { return static_cast<UIImage*>(self)->size(); });
        class_addMethod(
            c,
            "drawInRect:", +[](id self, SEL, CGRect rect) { static_cast<UIImage*>(self)->drawInRect(rect); });
        class_addMethod(
            c, "drawInRect:blendMode:alpha:", +[](id self, SEL, CGRect rect, int32_t mode, double alpha) {
                static_cast<UIImage*>(self)->drawInRect(rect, static_cast<CGBlendMode>(mode), alpha);
            });
        return c;
    }();
    return cls;
}

UIImage::UIImage() : m_image(make_object<CGImage>()) {}

Ref<UIImage> UIImage::imageWithCGImage(CGImageRef image, double scale) {
    if (!image)
        return nullptr;
    auto result = make_object<UIImage>();
    result->m_image = image;
    result->m_scale = std::isfinite(scale) && scale > 0 ? scale : 1;
    return result;
}

Ref<UIImage> UIImage::imageWithData(const NSData* data, double scale) {
    if (!data)
        return nullptr;
    auto bitmap = ImageImport::decode(data->bytes());
    if (!bitmap)
        return nullptr;
    return imageWithCGImage(CGImage::imageWithBitmap(std::move(*bitmap)), scale);
}

Ref<UIImage> UIImage::imageWithContentsOfFile(std::string_view devicePath) {
    auto data = NSData::dataWithContentsOfFile(devicePath, ImageImport::maxFileBytes);
    std::string_view name = devicePath.substr(devicePath.rfind('/') + 1);
    name = name.substr(0, name.rfind('.'));
    double scale = name.ends_with("@3x") ? 3 : name.ends_with("@2x") ? 2 : 1;
    return imageWithData(data, scale);
}

CGSize UIImage::size() const {
    return {m_image->width() / m_scale, m_image->height() / m_scale};
}

void UIImage::drawInRect(CGRect rect, CGBlendMode mode, double alpha) const {
    if (CGContextRef context = UIGraphicsGetCurrentContext())
        context->drawImage(rect, *m_image, mode, alpha);
}
