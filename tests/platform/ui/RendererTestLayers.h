#pragma once

// What the renderer's tests build their layer trees from: a canvas of 200 x 150 points at scale 2,
// layers of one colour, moving sine waves and the lines that stroke them, where a coverage mask stores
// a pixel, and where two pictures differ.

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/CAShapeLayer.h"

#include <cmath>
#include <numbers>
#include <string>

inline constexpr double scale = 2;
inline constexpr int width = 200 * 2, height = 150 * 2;

inline Ref<CALayer> colouredLayer(CGRect frame, CGColor colour) {
    Ref<CALayer> layer = CALayer::layer();
    layer->setFrame(frame);
    layer->setBackgroundColor(colour);
    return layer;
}

// A shape layer that strokes its path (no fill), added on top of parent's sublayers.
inline Ref<CAShapeLayer> strokedLayer(CALayer* parent, CGRect frame, CGColor colour, double lineWidth = 2) {
    auto layer = CAShapeLayer::layer();
    layer->setFrame(frame);
    layer->setFillColor(CGColor{0, 0, 0, 0});
    layer->setStrokeColor(colour);
    layer->setLineWidth(lineWidth);
    parent->addSublayer(layer.get());
    return layer;
}

// One period of a sine across the canvas's 200 points, shifted by `phase`.
inline Ref<CGPath> sine(double phase, double amplitude, double baseline) {
    auto path = UIBezierPath::bezierPath();
    for (int x = 0; x <= 200; x += 10) {
        CGPoint p{double(x), baseline + amplitude * std::sin(phase + x * 2 * std::numbers::pi / 200)};
        x ? path->addLineToPoint(p) : path->moveToPoint(p);
    }
    return path->cgPath();
}

// Whether one of the mask's spans holds the pixel.
inline bool stored(const CoverageMask& mask, int x, int y) {
    for (const CoverageSpan& span : mask.spans())
        if (span.y == y && x >= span.x && x < span.x + span.length)
            return true;
    return false;
}

// The first pixel that differs, as text; empty when none does.
inline std::string firstDifference(const Bitmap& a, const Bitmap& b) {
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return "pixel " + std::to_string(x) + "," + std::to_string(y);
    return {};
}
