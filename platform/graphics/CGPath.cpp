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

std::optional<CGRect> CGPath::rectangle() const {
    std::vector<CGPoint> corners;
    for (size_t i = 0; i < m_elements.size(); ++i) {
        const CGPathElement& element = m_elements[i];
        if ((element.type == CGPathElementType::MoveToPoint) != (i == 0))
            return std::nullopt;
        if (element.type == CGPathElementType::CloseSubpath) {
            if (i + 1 != m_elements.size())
                return std::nullopt;
            continue;
        }
        corners.push_back(element.point);
    }
    // Going back to the start is the same outline as closing.
    if (corners.size() == 5 && corners[4].x == corners[0].x && corners[4].y == corners[0].y)
        corners.pop_back();
    if (corners.size() != 4 || !m_finite || !(m_bounds.size.width > 0) || !(m_bounds.size.height > 0))
        return std::nullopt;
    double left = CGRectGetMinX(m_bounds), right = CGRectGetMaxX(m_bounds);
    double top = CGRectGetMinY(m_bounds), bottom = CGRectGetMaxY(m_bounds);
    for (size_t i = 0; i < 4; ++i) {
        const CGPoint& a = corners[i];
        const CGPoint& b = corners[(i + 1) % 4];
        for (size_t j = 0; j < i; ++j)
            if (corners[j].x == a.x && corners[j].y == a.y)
                return std::nullopt; // a corner visited twice outlines no area
        bool corner = (a.x == left || a.x == right) && (a.y == top || a.y == bottom);
        bool alongAnEdge = (a.x == b.x) != (a.y == b.y);
        if (!corner || !alongAnEdge)
            return std::nullopt;
    }
    return m_bounds;
}
