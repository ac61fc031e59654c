#include "platform/graphics/UIBezierPath.h"
#include "runtime/MessageSend.h"

#include <algorithm>
#include <cmath>

Class UIBezierPath::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UIBezierPath", NSObject::objcClass(), &instance_factory<UIBezierPath>);
        class_addMethod(
            c, "moveToPoint:", +[](id self, SEL, CGPoint p) {
                static_cast<UIBezierPath*>(self)->moveToPoint(p);
            });
        class_addMethod(
            c, "addLineToPoint:", +[](id self, SEL, CGPoint p) {
                static_cast<UIBezierPath*>(self)->addLineToPoint(p);
            });
        class_addMethod(
            c, "closePath", +[](id self, SEL) { static_cast<UIBezierPath*>(self)->closePath(); });
        class_addMethod(
            c, "removeAllPoints", +[](id self, SEL) { static_cast<UIBezierPath*>(self)->removeAllPoints(); });
        class_addMethod(
            c, "isEmpty", +[](id self, SEL) -> bool { return static_cast<UIBezierPath*>(self)->isEmpty(); });
        class_addMethod(
            c, "currentPoint",
            +[](id self, SEL) -> CGPoint { return static_cast<UIBezierPath*>(self)->currentPoint(); });
        // The answer belongs to the path, as the device's does.
        class_addMethod(
            c, "CGPath",
            +[](id self, SEL) -> id { return static_cast<UIBezierPath*>(self)->cgPath().get(); });
        return c;
    }();
    return cls;
}

Ref<UIBezierPath> UIBezierPath::bezierPath() {
    return make_object<UIBezierPath>();
}

void UIBezierPath::moveToPoint(CGPoint point) {
    m_elements.push_back({CGPathElementType::MoveToPoint, point});
    m_current = m_subpathStart = point;
    m_hasCurrent = true;
    m_snapshot = nullptr;
}

void UIBezierPath::addLineToPoint(CGPoint point) {
    if (!m_hasCurrent)
        return;
    m_elements.push_back({CGPathElementType::AddLineToPoint, point});
    m_current = point;
    m_snapshot = nullptr;
}

void UIBezierPath::closePath() {
    if (!m_hasCurrent)
        return;
    m_elements.push_back({CGPathElementType::CloseSubpath, {}});
    m_current = m_subpathStart;
    m_snapshot = nullptr;
}

void UIBezierPath::removeAllPoints() {
    m_elements.clear();
    m_current = m_subpathStart = {};
    m_hasCurrent = false;
    m_snapshot = nullptr;
}

Ref<CGPath> UIBezierPath::cgPath() const {
    if (!m_snapshot)
        m_snapshot = CGPath::pathWithElements(m_elements);
    return m_snapshot;
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithRect(CGRect rect) {
    return bezierPathWithRoundedRect(rect, 0);
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithRoundedRect(CGRect rect, double cornerRadius) {
    Ref<UIBezierPath> path = bezierPath();
    double x0 = CGRectGetMinX(rect), y0 = CGRectGetMinY(rect), x1 = CGRectGetMaxX(rect),
           y1 = CGRectGetMaxY(rect);
    double r = std::clamp(cornerRadius, 0.0, std::min(x1 - x0, y1 - y0) / 2);
    if (!(r > 0)) {
        path->moveToPoint({x0, y0});
        path->addLineToPoint({x1, y0});
        path->addLineToPoint({x1, y1});
        path->addLineToPoint({x0, y1});
        path->closePath();
        return path;
    }
    // Corner centres, clockwise from the top right, each swept a quarter turn.
    const CGPoint centres[] = {{x1 - r, y0 + r}, {x1 - r, y1 - r}, {x0 + r, y1 - r}, {x0 + r, y0 + r}};
    constexpr int segments = 8;
    bool first = true;
    for (int corner = 0; corner < 4; ++corner) {
        double start = -M_PI / 2 + corner * M_PI / 2;
        for (int i = 0; i <= segments; ++i) {
            double angle = start + (M_PI / 2) * i / segments;
            CGPoint p{centres[corner].x + r * std::cos(angle), centres[corner].y + r * std::sin(angle)};
            if (first)
                path->moveToPoint(p);
            else
                path->addLineToPoint(p);
            first = false;
        }
    }
    path->closePath();
    return path;
}
