#pragma once

// A layer that draws a path: filled (non-zero or even-odd), then stroked. The defaults are the
// device's: an opaque black fill, no stroke, line width 1, butt caps, miter joins, miter limit 10.
// The path is in the layer's own coordinates and is not clipped to the bounds unless the layer
// masks to its bounds.

#include "platform/graphics/CGPath.h"
#include "platform/graphics/PolygonRasterizer.h"
#include "platform/graphics/StrokeOutliner.h"
#include "platform/ui/CALayer.h"

class CAShapeLayer : public CALayer {
public:
    static Class objcClass();
    static Ref<CAShapeLayer> layer();

    CAShapeLayer();

    CGPath* path() const { return m_path.get(); }
    void setPath(CGPath* path);
    // nil for no fill / no stroke.
    UIColor* fillColor() const { return m_fillColor.get(); }
    void setFillColor(UIColor* color);
    void setFillColor(std::optional<CGColor> color);
    UIColor* strokeColor() const { return m_strokeColor.get(); }
    void setStrokeColor(UIColor* color);
    void setStrokeColor(std::optional<CGColor> color);
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);
    LineCap lineCap() const { return m_lineCap; }
    void setLineCap(LineCap cap);
    LineJoin lineJoin() const { return m_lineJoin; }
    void setLineJoin(LineJoin join);
    double miterLimit() const { return m_miterLimit; }
    void setMiterLimit(double limit);
    FillRule fillRule() const { return m_fillRule; }
    void setFillRule(FillRule rule);

    bool hasOwnContent() const override;
    bool hasVisibleFill() const;
    bool hasVisibleStroke() const;

private:
    Ref<CGPath> m_path;
    Ref<UIColor> m_fillColor;
    Ref<UIColor> m_strokeColor;
    double m_lineWidth = 1;
    LineCap m_lineCap = LineCap::Butt;
    LineJoin m_lineJoin = LineJoin::Miter;
    double m_miterLimit = 10;
    FillRule m_fillRule = FillRule::NonZero;
};
