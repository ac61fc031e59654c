#pragma once

// A path being built: moves, straight lines and closes. A line with no current point (nothing
// moved to yet) is ignored, as on the device. CGPath answers an immutable snapshot, made once and
// shared until the path changes again.

#include "platform/graphics/CGPath.h"
#include "platform/graphics/Geometry.h"
#include "runtime/NSObject.h"

#include <vector>

class UIBezierPath : public NSObject {
public:
    static Class objcClass();
    static Ref<UIBezierPath> bezierPath();
    static Ref<UIBezierPath> bezierPathWithRect(CGRect rect);
    // Corners are quarter circles of the radius (at most half the shorter side), drawn as short
    // straight segments.
    static Ref<UIBezierPath> bezierPathWithRoundedRect(CGRect rect, double cornerRadius);

    UIBezierPath() = default;
    void moveToPoint(CGPoint point);
    void addLineToPoint(CGPoint point);
    void closePath();
    void removeAllPoints();

    bool isEmpty() const { return m_elements.empty(); }
    // The last point moved or drawn to; CGPointZero when there is none.
    CGPoint currentPoint() const { return m_current; }
    bool hasCurrentPoint() const { return m_hasCurrent; }
    const std::vector<CGPathElement>& elements() const { return m_elements; }
    Ref<CGPath> cgPath() const;

private:
    std::vector<CGPathElement> m_elements;
    CGPoint m_current{};
    CGPoint m_subpathStart{};
    bool m_hasCurrent = false;
    mutable Ref<CGPath> m_snapshot;
};
