#pragma once

// Geometry values in points: x grows to the right, y downward.

#include "runtime/Encoding.h"

struct CGPoint {
    double x = 0;
    double y = 0;
    bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    double width = 0;
    double height = 0;
    bool operator==(const CGSize&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    bool operator==(const CGRect&) const = default;
};

inline CGPoint CGPointMake(double x, double y) {
    return {x, y};
}
inline CGSize CGSizeMake(double width, double height) {
    return {width, height};
}
inline CGRect CGRectMake(double x, double y, double width, double height) {
    return {{x, y}, {width, height}};
}

// As on the device: width and height are the absolute values of the size.
inline double CGRectGetWidth(const CGRect& r) {
    return r.size.width < 0 ? -r.size.width : r.size.width;
}
inline double CGRectGetHeight(const CGRect& r) {
    return r.size.height < 0 ? -r.size.height : r.size.height;
}
inline double CGRectGetMinX(const CGRect& r) {
    return r.size.width < 0 ? r.origin.x + r.size.width : r.origin.x;
}
inline double CGRectGetMinY(const CGRect& r) {
    return r.size.height < 0 ? r.origin.y + r.size.height : r.origin.y;
}
inline double CGRectGetMaxX(const CGRect& r) {
    return CGRectGetMinX(r) + CGRectGetWidth(r);
}
inline double CGRectGetMaxY(const CGRect& r) {
    return CGRectGetMinY(r) + CGRectGetHeight(r);
}
inline double CGRectGetMidX(const CGRect& r) {
    return CGRectGetMinX(r) + CGRectGetWidth(r) / 2;
}
inline double CGRectGetMidY(const CGRect& r) {
    return CGRectGetMinY(r) + CGRectGetHeight(r) / 2;
}

constexpr CGRect CGRectZero{};

template <> struct objc_encoding<CGPoint> { static constexpr const char* value = "{CGPoint=dd}"; };
template <> struct objc_encoding<CGSize> { static constexpr const char* value = "{CGSize=dd}"; };
template <> struct objc_encoding<CGRect> {
    static constexpr const char* value = "{CGRect={CGPoint=dd}{CGSize=dd}}";
};
