#pragma once

// Images: an image reference (an immutable, shared bitmap) shown at a scale, so that an image of
// 200 x 200 pixels at scale 2 is 100 x 100 points. Drawing goes into the current image context
// (UIGraphics.h).

#include "platform/graphics/CGBitmapContext.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/Geometry.h"
#include "runtime/NSObject.h"

#include <string_view>

class NSData;

class UIImage : public NSObject {
public:
    static Class objcClass();
    // nil for a nil image reference; a scale that is not a positive finite number reads as 1.
    static Ref<UIImage> imageWithCGImage(CGImageRef image, double scale = 1);
    // A PNG or JPEG file's contents, or nil when they cannot be decoded (see ImageImport.h).
    static Ref<UIImage> imageWithData(const NSData* data, double scale = 1);
    // The PNG or JPEG file at a device path, or nil. A name ending in "@2x" or "@3x" before the
    // extension gives that scale, as on the device.
    static Ref<UIImage> imageWithContentsOfFile(std::string_view devicePath);

    // Only for the class's factory: an image of a single transparent pixel.
    UIImage();
    CGImageRef cgImage() const { return m_image.get(); }
    double scale() const { return m_scale; }
    // In points: the pixel size divided by the scale.
    CGSize size() const;

    // Draws the whole image scaled into rect of the current image context (nothing without one).
    void drawInRect(CGRect rect, CGBlendMode mode, double alpha) const;
    void drawInRect(CGRect rect) const { drawInRect(rect, kCGBlendModeNormal, 1); }

private:
    Ref<CGImage> m_image;
    double m_scale = 1;
};
