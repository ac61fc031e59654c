#include "platform/ui/CAShapeLayer.h"
#include "runtime/MessageSend.h"

namespace {

CAShapeLayer* asShape(id self) {
    return static_cast<CAShapeLayer*>(self);
}

Ref<UIColor> colorObject(std::optional<CGColor> color) {
    if (!color)
        return nullptr;
    return UIColor::colorWithRed(color->red, color->green, color->blue, color->alpha);
}

} // namespace

Class CAShapeLayer::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("CAShapeLayer", CALayer::objcClass(), &instance_factory<CAShapeLayer>);
        class_addMethod(
            c, "path", +[](id self, SEL) -> id { return asShape(self)->path(); });
        class_addMethod(
            c, "setPath:", +[](id self, SEL, id path) { asShape(self)->setPath(objc_cast<CGPath>(path)); });
        class_addMethod(
            c, "fillColor", +[](id self, SEL) -> id { return asShape(self)->fillColor(); });
        class_addMethod(
            c, "setFillColor:", +[](id self, SEL, id color) {
                asShape(self)->setFillColor(objc_cast<UIColor>(color));
            });
        class_addMethod(
            c, "strokeColor", +[](id self, SEL) -> id { return asShape(self)->strokeColor(); });
        class_addMethod(
            c, "setStrokeColor:", +[](id self, SEL, id color) {
                asShape(self)->setStrokeColor(objc_cast<UIColor>(color));
            });
        class_addMethod(
            c, "lineWidth", +[](id self, SEL) -> double { return asShape(self)->lineWidth(); });
        class_addMethod(
            c, "setLineWidth:", +[](id self, SEL, double width) { asShape(self)->setLineWidth(width); });
        class_addMethod(
            c, "miterLimit", +[](id self, SEL) -> double { return asShape(self)->miterLimit(); });
        class_addMethod(
            c, "setMiterLimit:", +[](id self, SEL, double limit) { asShape(self)->setMiterLimit(limit); });
        return c;
    }();
    return cls;
}

Ref<CAShapeLayer> CAShapeLayer::layer() {
    return make_object<CAShapeLayer>();
}

CAShapeLayer::CAShapeLayer() : m_fillColor(UIColor::blackColor()) {}

void CAShapeLayer::setPath(CGPath* path) {
    if (path == m_path.get())
        return;
    m_path = path;
    drawingChanged();
}

void CAShapeLayer::setFillColor(UIColor* color) {
    if (color == m_fillColor.get())
        return;
    m_fillColor = color;
    drawingChanged();
}

void CAShapeLayer::setFillColor(std::optional<CGColor> color) {
    setFillColor(colorObject(color).get());
}

void CAShapeLayer::setStrokeColor(UIColor* color) {
    if (color == m_strokeColor.get())
        return;
    m_strokeColor = color;
    drawingChanged();
}

void CAShapeLayer::setStrokeColor(std::optional<CGColor> color) {
    setStrokeColor(colorObject(color).get());
}

void CAShapeLayer::setLineWidth(double width) {
    if (width == m_lineWidth)
        return;
    m_lineWidth = width;
    drawingChanged();
}

void CAShapeLayer::setLineCap(LineCap cap) {
    if (cap == m_lineCap)
        return;
    m_lineCap = cap;
    drawingChanged();
}

void CAShapeLayer::setLineJoin(LineJoin join) {
    if (join == m_lineJoin)
        return;
    m_lineJoin = join;
    drawingChanged();
}

void CAShapeLayer::setMiterLimit(double limit) {
    if (limit == m_miterLimit)
        return;
    m_miterLimit = limit;
    drawingChanged();
}

void CAShapeLayer::setFillRule(FillRule rule) {
    if (rule == m_fillRule)
        return;
    m_fillRule = rule;
    drawingChanged();
}

bool CAShapeLayer::hasVisibleFill() const {
    return m_path && !m_path->isEmpty() && m_fillColor && m_fillColor->alpha() > 0;
}

bool CAShapeLayer::hasVisibleStroke() const {
    return m_path && !m_path->isEmpty() && m_strokeColor && m_strokeColor->alpha() > 0 && m_lineWidth > 0;
}

bool CAShapeLayer::hasOwnContent() const {
    return CALayer::hasOwnContent() || hasVisibleFill() || hasVisibleStroke();
}
