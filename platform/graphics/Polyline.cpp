#include "platform/graphics/Polyline.h"

std::vector<Polyline> flattenPath(const CGPath& path, double scale, double dx, double dy) {
    std::vector<Polyline> result;
    auto map = [&](CGPoint p) { return CGPoint{p.x * scale + dx, p.y * scale + dy}; };
    bool open = false;
    CGPoint start{};
    for (const CGPathElement& element : path.elements()) {
        switch (element.type) {
        case CGPathElementType::MoveToPoint:
            result.push_back({{map(element.point)}, false});
            start = element.point;
            open = true;
            break;
        case CGPathElementType::AddLineToPoint:
            if (!open) {
                result.push_back({{map(start)}, false});
                open = true;
            }
            result.back().points.push_back(map(element.point));
            break;
        case CGPathElementType::CloseSubpath:
            if (open) {
                result.back().closed = true;
                open = false;
            }
            break;
        }
    }
    return result;
}
