#pragma once

// An immutable path of straight segments in points: subpaths that start with a move, go on with
// lines and may be closed. Paths are shared by reference count (a shape layer keeps the one it is
// given); building one is UIBezierPath's work.

#include "platform/graphics/Geometry.h"
#include "runtime/NSObject.h"

#include <optional>
#include <vector>

enum class CGPathElementType { MoveToPoint, AddLineToPoint, CloseSubpath };

struct CGPathElement {
    CGPathElementType type;
    CGPoint point; // unused for CloseSubpath
    bool operator==(const CGPathElement&) const = default;
};

class CGPath : public NSObject {
public:
    static Class objcClass();
    static Ref<CGPath> pathWithElements(std::vector<CGPathElement> elements);

    CGPath() = default;
    const std::vector<CGPathElement>& elements() const { return m_elements; }
    bool isEmpty() const { return m_elements.empty(); }
    // The smallest rectangle holding every point of the path (CGRectZero for an empty one). Points
    // that are not finite are left out.
    CGRect boundingBox() const { return m_bounds; }
    // The rectangle the path outlines when it is one subpath going once round an axis-aligned
    // rectangle's four corners; nullopt for any other path.
    std::optional<CGRect> rectangle() const;
    // Whether every point is a finite number.
    bool isFinite() const { return m_finite; }

private:
    std::vector<CGPathElement> m_elements;
    CGRect m_bounds{};
    bool m_finite = true;
};

using CGPathRef = CGPath*;
