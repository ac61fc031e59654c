#include "platform/graphics/UIBezierPath.h"
#include "runtime/MessageSend.h"

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
