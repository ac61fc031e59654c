#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/PolygonRasterizer.h"
#include "platform/graphics/StrokeOutliner.h"

#include <gtest/gtest.h>

#include <map>

#include <cairo.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

IntRect canvas{0, 0, 200, 120};

CoverageMask fill(const std::vector<CGPoint>& points, FillRule rule = FillRule::NonZero,
                  IntRect clip = canvas) {
    PolygonRasterizer rasterizer;
    rasterizer.reset(clip);
    rasterizer.moveTo(points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); ++i)
        rasterizer.lineTo(points[i].x, points[i].y);
    CoverageMask mask;
    rasterizer.finish(rule, mask);
    return mask;
}

double totalCoverage(const CoverageMask& mask) {
    double sum = 0;
    for (uint8_t value : mask.coverage())
        sum += value / 255.0;
    return sum;
}

// The same stroke through cairo, into an 8-bit alpha surface the size of the canvas.
std::vector<uint8_t> cairoStroke(const std::vector<Polyline>& lines, const StrokeStyle& style) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, canvas.width, canvas.height);
    cairo_t* cr = cairo_create(surface);
    for (const Polyline& line : lines) {
        cairo_move_to(cr, line.points[0].x, line.points[0].y);
        for (size_t i = 1; i < line.points.size(); ++i)
            cairo_line_to(cr, line.points[i].x, line.points[i].y);
        if (line.closed)
            cairo_close_path(cr);
    }
    cairo_set_line_width(cr, style.width);
    cairo_set_line_cap(cr, style.cap == LineCap::Butt    ? CAIRO_LINE_CAP_BUTT
                           : style.cap == LineCap::Round ? CAIRO_LINE_CAP_ROUND
                                                         : CAIRO_LINE_CAP_SQUARE);
    cairo_set_line_join(cr, style.join == LineJoin::Miter   ? CAIRO_LINE_JOIN_MITER
                            : style.join == LineJoin::Round ? CAIRO_LINE_JOIN_ROUND
                                                            : CAIRO_LINE_JOIN_BEVEL);
    cairo_set_miter_limit(cr, style.miterLimit);
    cairo_stroke(cr);
    cairo_surface_flush(surface);
    std::vector<uint8_t> pixels(static_cast<size_t>(canvas.width * canvas.height));
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x)
            pixels[static_cast<size_t>(y * canvas.width + x)] =
                cairo_image_surface_get_data(surface)[y * stride + x];
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return pixels;
}

struct Difference {
    int largest = 0;
    double mean = 0;
};

Difference compareWithCairo(const std::vector<Polyline>& lines, const StrokeStyle& style) {
    PolygonRasterizer rasterizer;
    rasterizer.reset(canvas);
    EXPECT_TRUE(outlineStroke(lines, style, rasterizer));
    CoverageMask mask;
    rasterizer.finish(FillRule::NonZero, mask);
    std::vector<uint8_t> expected = cairoStroke(lines, style);
    Difference d;
    long total = 0;
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x) {
            int diff =
                std::abs(int(mask.at(x, y)) - int(expected[static_cast<size_t>(y * canvas.width + x)]));
            d.largest = std::max(d.largest, diff);
            total += diff;
        }
    d.mean = double(total) / (canvas.width * canvas.height);
    return d;
}

Polyline sineLine(double amplitude, double wavelength, double phase) {
    Polyline line;
    for (double x = -5; x <= 205; x += 9)
        line.points.push_back({x, 60 + amplitude * std::sin(phase + 2 * std::numbers::pi * x / wavelength)});
    return line;
}

} // namespace

TEST(PolygonRasterizer, CoverageIsTheExactAreaOfEachPixel) {
    CoverageMask mask = fill({{10.25, 5.5}, {20.75, 5.5}, {20.75, 8}, {10.25, 8}});
    EXPECT_EQ(mask.at(15, 6), 255);
    EXPECT_EQ(mask.at(15, 5), 128);                                      // half the row
    EXPECT_EQ(mask.at(10, 6), 191);                                      // three quarters of the column
    EXPECT_EQ(mask.at(10, 5), static_cast<int>(0.75 * 0.5 * 255 + 0.5)); // the corner: both
    EXPECT_EQ(mask.at(20, 7), 191);
    EXPECT_EQ(mask.at(21, 6), 0);
    EXPECT_EQ(mask.at(15, 8), 0);
    EXPECT_NEAR(totalCoverage(mask), 10.5 * 2.5, 0.05);
    EXPECT_EQ(mask.bounds(), (IntRect{10, 5, 11, 3}));

    // A slanted triangle: the total is its area, wherever its edges cut the pixels.
    CoverageMask triangle = fill({{3.3, 2.1}, {150.7, 40.9}, {60.2, 101.6}});
    double area = std::fabs((150.7 - 3.3) * (101.6 - 2.1) - (60.2 - 3.3) * (40.9 - 2.1)) / 2;
    EXPECT_NEAR(totalCoverage(triangle), area, area * 0.002);
}

TEST(PolygonRasterizer, FillRulesDifferWhereContoursWindTwice) {
    // A five-pointed star drawn in one stroke: the centre is wound twice.
    std::vector<CGPoint> star;
    for (int i = 0; i < 5; ++i) {
        double a = -std::numbers::pi / 2 + i * 4 * std::numbers::pi / 5;
        star.push_back({100 + 50 * std::cos(a), 60 + 50 * std::sin(a)});
    }
    EXPECT_EQ(fill(star, FillRule::NonZero).at(100, 60), 255);
    EXPECT_EQ(fill(star, FillRule::EvenOdd).at(100, 60), 0);
    EXPECT_EQ(fill(star, FillRule::EvenOdd).at(100, 25), 255) << "a point of the star is wound once";
}

TEST(PolygonRasterizer, ClippingKeepsThePixelsInsideUnchanged) {
    std::vector<CGPoint> shape{{-40.3, -10.2}, {180.6, 30.1}, {90.4, 150.8}, {-5.5, 70.2}};
    CoverageMask whole = fill(shape, FillRule::NonZero, {-100, -100, 400, 400});
    IntRect clip{20, 15, 70, 50};
    CoverageMask clipped = fill(shape, FillRule::NonZero, clip);
    EXPECT_TRUE(clip.contains(clipped.bounds().x, clipped.bounds().y));
    for (int y = -20; y < 130; ++y)
        for (int x = -20; x < 220; ++x)
            ASSERT_EQ(clipped.at(x, y), clip.contains(x, y) ? whole.at(x, y) : 0) << x << "," << y;
}

TEST(PolygonRasterizer, BadPointsDrawNothing) {
    EXPECT_TRUE(fill({{1, 1}, {NAN, 5}, {9, 9}}).isEmpty());
    EXPECT_TRUE(fill({{1, 1}, {INFINITY, 5}, {9, 9}}).isEmpty());
    // Huge but finite coordinates are clipped, not overflowed.
    CoverageMask huge = fill({{-1e300, -1e300}, {1e300, -1e300}, {1e300, 1e300}, {-1e300, 1e300}});
    EXPECT_EQ(huge.at(0, 0), 255);
    EXPECT_EQ(huge.at(199, 119), 255);
    EXPECT_NEAR(totalCoverage(huge), 200.0 * 120.0, 0.5);
}

TEST(PolygonRasterizer, FootprintCoversEveryPixel) {
    PolygonRasterizer rasterizer;
    rasterizer.reset(canvas);
    ASSERT_TRUE(outlineStroke({sineLine(30, 150, 0.4)}, {6, LineCap::Butt, LineJoin::Miter, 10}, rasterizer));
    CoverageMask mask;
    rasterizer.finish(FillRule::NonZero, mask);
    Region footprint = mask.footprint(32);
    for (const CoverageSpan& span : mask.spans())
        for (int x = span.x; x < span.x + span.length; ++x)
            ASSERT_TRUE(footprint.contains(x, span.y));
    // Tight: far less than the band the curve sweeps, and each rectangle exactly the extent of the
    // pixels in its band.
    EXPECT_LT(footprint.area(), 200 * 66 / 2);
    std::map<int, IntRect> extents;
    for (const CoverageSpan& span : mask.spans())
        for (int x = span.x; x < span.x + span.length; ++x) {
            auto [it, added] = extents.try_emplace(x / 32, IntRect{x, span.y, 1, 1});
            if (!added)
                it->second = it->second.united({x, span.y, 1, 1});
        }
    std::vector<IntRect> expected;
    for (const auto& [band, rect] : extents)
        expected.push_back(rect);
    EXPECT_EQ(footprint.area(), Region::fromRects(expected).area());

    // Rounded out to rows of 8 (also above the origin): still covering, every band starting and
    // ending on the grain, and fewer rectangles.
    CoverageMask moved = mask;
    moved.translate(3, -41);
    Region coarse = moved.footprint(32, 8);
    for (const CoverageSpan& span : moved.spans())
        for (int x = span.x; x < span.x + span.length; ++x)
            ASSERT_TRUE(coarse.contains(x, span.y)) << x << "," << span.y;
    for (const IntRect& rect : coarse.rects()) {
        EXPECT_EQ(((rect.y % 8) + 8) % 8, 0) << rect.y;
        EXPECT_EQ(((rect.bottom() % 8) + 8) % 8, 0) << rect.bottom();
    }
    Region fine = moved.footprint(32);
    EXPECT_LT(coarse.rectCount(), fine.rectCount());
    EXPECT_LT(coarse.area(), fine.area() + 200 * 14);
}

TEST(StrokeOutliner, MatchesCairoForCurvesJoinsAndCaps) {
    struct Case {
        const char* name;
        std::vector<Polyline> lines;
        StrokeStyle style;
    };
    Polyline zigzag{{{10, 100}, {40, 20}, {70, 100}, {100, 30}, {130, 95}, {190, 60}}, false};
    Polyline square{{{30, 30}, {170, 30}, {170, 90}, {30, 90}}, true};
    Polyline sharp{{{10, 10}, {190, 40}, {10, 70}}, false}; // a miter six half widths long
    std::vector<Case> cases{
        {"wave, butt, miter", {sineLine(20, 125, 0.3)}, {6, LineCap::Butt, LineJoin::Miter, 10}},
        {"thin wave", {sineLine(35, 90, 1.1)}, {1.3, LineCap::Butt, LineJoin::Miter, 10}},
        {"zigzag miter", {zigzag}, {7, LineCap::Butt, LineJoin::Miter, 10}},
        {"zigzag bevel, square caps", {zigzag}, {7, LineCap::Square, LineJoin::Bevel, 10}},
        {"zigzag round", {zigzag}, {7, LineCap::Round, LineJoin::Round, 10}},
        {"closed square", {square}, {5, LineCap::Butt, LineJoin::Miter, 10}},
        {"sharp turn", {sharp}, {8, LineCap::Butt, LineJoin::Miter, 10}},
        {"sharp turn past the limit", {sharp}, {8, LineCap::Butt, LineJoin::Miter, 4}},
        {"two subpaths",
         {sineLine(10, 60, 0), Polyline{{{20, 10}, {180, 20}}, false}},
         {4, LineCap::Butt, LineJoin::Miter, 10}},
    };
    for (const Case& c : cases) {
        Difference d = compareWithCairo(c.lines, c.style);
        // cairo samples each pixel on 15 sub-rows, so its own coverage is within about 1/30 of the area.
        EXPECT_LE(d.largest, 20) << c.name;
        EXPECT_LT(d.mean, 0.25) << c.name;
    }
}

TEST(StrokeOutliner, DeclinesWhatItCannotOutline) {
    PolygonRasterizer rasterizer;
    rasterizer.reset(canvas);
    StrokeStyle style{6, LineCap::Butt, LineJoin::Miter, 10};
    EXPECT_FALSE(outlineStroke({Polyline{{{10, 10}, {100, 10}, {20, 10}}, false}}, style, rasterizer))
        << "reversal";
    EXPECT_FALSE(outlineStroke({Polyline{{{10, 10}, {100, 10}}, true}}, style, rasterizer))
        << "closed there and back";
    // Short segments at a tight turn: the inner corner would fall off the segments.
    EXPECT_FALSE(
        outlineStroke({Polyline{{{10, 10}, {12, 10}, {12, 12}, {14, 12}}, false}}, style, rasterizer));
    EXPECT_TRUE(outlineStroke({Polyline{{{10, 10}, {12, 10}}, false}},
                              {0, LineCap::Butt, LineJoin::Miter, 10}, rasterizer))
        << "no width: nothing to do";
}
