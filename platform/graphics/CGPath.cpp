#include "platform/graphics/CGPath.h"
#include "runtime/MessageSend.h"

#include <algorithm>
#include <cmath>

Class CGPath::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("CGPath", NSObject::objcClass(), &instance_factory<CGPath>);
        class_addMethod(
            c, "isEmpty", +[](id self, SEL) -> bool { return static_cast<CGPath*>(self)->isEmpty(); });
        class_addMethod(
            c, "boundingBox",
            +[](id self, SEL) -> CGRect { return static_cast<CGPath*>(self)->boundingBox(); });
        return c;
    }();
    return cls;
}

Ref<CGPath> CGPath::pathWithElements(std::vector<CGPathElement> elements) {
    auto path = make_object<CGPath>();
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const auto& element : elements) {
        if (element.type == CGPathElementType::CloseSubpath)
            continue;
        const CGPoint& p = element.point;
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            path->m_finite = false;
            continue;
        }
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    if (minX <= maxX)
        path->m_bounds = CGRectMake(minX, minY, maxX - minX, maxY - minY);
    path->m_elements = std::move(elements);
    return path;
}
