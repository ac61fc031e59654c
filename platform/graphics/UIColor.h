#pragma once

// Colours: red, green, blue and alpha from 0 to 1, not premultiplied. A colour is immutable; its
// CGColor is the same value as the rasterizer takes it.
//
// Through the runtime a UIColor also stands for its CGColorRef: "CGColor" answers the colour object
// itself, and layers take and answer colours as objects (nil for none), as the device passes
// CGColorRefs.

#include "runtime/Encoding.h"
#include "runtime/NSObject.h"

struct CGColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;
    bool operator==(const CGColor&) const = default;
};

template <> struct objc_encoding<CGColor> { static constexpr const char* value = "{CGColor=dddd}"; };

class UIColor : public NSObject {
public:
    static Class objcClass();
    static Ref<UIColor> colorWithRed(double red, double green, double blue, double alpha);
    static Ref<UIColor> colorWithWhite(double white, double alpha);
    static Ref<UIColor> whiteColor();
    static Ref<UIColor> blackColor();
    static Ref<UIColor> clearColor();

    UIColor() = default;
    // The same red, green and blue with the given alpha.
    Ref<UIColor> colorWithAlphaComponent(double alpha) const;
    CGColor cgColor() const { return m_color; }
    double red() const { return m_color.red; }
    double green() const { return m_color.green; }
    double blue() const { return m_color.blue; }
    double alpha() const { return m_color.alpha; }

private:
    CGColor m_color;
};
