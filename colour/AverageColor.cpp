#include "colour/AverageColor.h"
#include "platform/graphics/UIGraphics.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/MessageSend.h"

namespace {

// Closes the image context however the drawing ends.
struct ImageContextScope {
    explicit ImageContextScope(CGSize size) { UIGraphicsBeginImageContext(size); }
    ~ImageContextScope() { UIGraphicsEndImageContext(); }
    ImageContextScope(const ImageContextScope&) = delete;
    ImageContextScope& operator=(const ImageContextScope&) = delete;
};

// Adds the category's method when the library is loaded, as the device's loader does. A send
// answers a colour the caller does not own: it lives until the pass is over.
[[maybe_unused]] const bool categoryInstalled = [] {
    class_addMethod(
        UIImage::objcClass(), "averageColor",
        +[](id self, SEL) -> id { return objc_autorelease(averageColor(static_cast<UIImage*>(self))); });
    return true;
}();

} // namespace

Ref<UIColor> averageColor(const UIImage* image) {
    if (!image)
        return nullptr;
    // One pixel, one scaled draw: the context's area-averaging scale-down does the work.
    ImageContextScope scope(CGSizeMake(1, 1));
    CGContextRef context = UIGraphicsGetCurrentContext();
    CGContextSetInterpolationQuality(context, kCGInterpolationMedium);
    image->drawInRect(CGRectMake(0, 0, 1, 1), kCGBlendModeCopy, 1.0);
    const auto* pixel = static_cast<const uint8_t*>(CGBitmapContextGetData(context));
    if (!pixel)
        return nullptr;
    // Bytes 0 to 2 of the context's pixel are red, green and blue (CGBitmapContext.h).
    float red = pixel[0] / 255.0f;
    float green = pixel[1] / 255.0f;
    float blue = pixel[2] / 255.0f;
    return UIColor::colorWithRed(red, green, blue, 1.0);
}
