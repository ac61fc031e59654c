#include "platform/graphics/CairoCanvas.h"
#include "platform/graphics/Compositing.h"
#include "platform/graphics/PolygonRasterizer.h"
#include "platform/graphics/Polyline.h"
#include "platform/graphics/UIBezierPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

Bitmap noise(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    Bitmap bitmap = *Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            auto c = [&] { return static_cast<uint8_t>(random() & 255); };
            bitmap.setPixel(x, y, premultiplied_pixel(c(), c(), c(), (x + y) % 3 ? c() : 255));
        }
    return bitmap;
}

} // namespace

TEST(Compositing, CoverageCompositeEqualsCairosMaskedPaint) {
    const int w = 64, h = 40;
    // Every coverage value on every kind of destination pixel.
    CoverageMask mask;
    std::vector<uint8_t> row(w);
    cairo_surface_t* a8 = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            row[x] = static_cast<uint8_t>((x * 4 + y * 37) & 255);
            cairo_image_surface_get_data(a8)[y * cairo_image_surface_get_stride(a8) + x] = row[x];
        }
        mask.append(y, 0, row.data(), w);
    }
    cairo_surface_mark_dirty(a8);
    for (CGColor color : {CGColor{1, 1, 1, 1}, CGColor{0.2, 0.7, 0.9, 0.8}, CGColor{1, 0.5, 0, 0.6}}) {
        Bitmap ours = noise(w, h, 7), theirs = noise(w, h, 7);
        compositeCoverage(ours, mask, premultipliedPixel(color), Region(IntRect{0, 0, w, h}));
        Bitmap unclipped = noise(w, h, 7);
        compositeCoverage(unclipped, mask, premultipliedPixel(color));
        for (int y = 0; y < h; ++y)
            ASSERT_TRUE(std::equal(ours.row(y), ours.row(y) + w, unclipped.row(y)))
                << "painting the whole mask paints what the clip to it paints, row " << y;
        {
            CairoCanvas canvas(theirs);
            cairo_set_source_rgba(canvas.context(), color.red, color.green, color.blue, color.alpha);
            cairo_mask_surface(canvas.context(), a8, 0, 0);
        }
        int largest = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int shift : {0, 8, 16, 24})
                    largest = std::max(largest, std::abs(int((ours.pixel(x, y) >> shift) & 255) -
                                                         int((theirs.pixel(x, y) >> shift) & 255)));
        EXPECT_LE(largest, 1) << "colour " << color.red << "," << color.green << "," << color.blue;
    }
    cairo_surface_destroy(a8);
}

TEST(Compositing, PaintingStaysInsideTheClip) {
    Bitmap bitmap = *Bitmap::create(30, 20);
    Region clip(IntRect{5, 5, 10, 4});
    clip.unite(IntRect{20, 10, 3, 3});
    fillRegionOver(bitmap, clip, premultipliedPixel({1, 0, 0, 0.5}));
    CoverageMask full;
    std::vector<uint8_t> ones(30, 255);
    for (int y = 0; y < 20; ++y)
        full.append(y, 0, ones.data(), 30);
    compositeCoverage(bitmap, full, premultipliedPixel({0, 0, 1, 1}), Region(IntRect{0, 0, 3, 3}));
    int painted = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            if (bitmap.pixel(x, y)) {
                ++painted;
                EXPECT_TRUE(clip.contains(x, y) || (x < 3 && y < 3)) << x << "," << y;
            }
    EXPECT_EQ(painted, 40 + 9 + 9);
    EXPECT_EQ(bitmap.pixel(6, 6), premultipliedPixel({1, 0, 0, 0.5}));
    EXPECT_EQ(bitmap.pixel(1, 1), 0xFF0000FFu);
}

TEST(Compositing, ShortRunsBlendLikeOnePixelAtATime) {
    // Runs of one to seven pixels, some ending at the right edge, every coverage value among them;
    // the pixels between runs keep their value.
    const int w = 37, h = 9;
    CoverageMask mask;
    std::vector<uint8_t> values(7);
    int value = 0;
    auto run = [&](int y, int x, int length) {
        for (int i = 0; i < length; ++i)
            values[i] = static_cast<uint8_t>((value += 37) & 255);
        mask.append(y, x, values.data(), length);
    };
    for (int y = 0; y < h; ++y) {
        int x = 0, length = 1 + y % 7;
        for (; x + length <= w - 5; length = 1 + (x + y) % 7) {
            run(y, x, length);
            x += length + 1 + (x + y) % 3;
        }
        run(y, w - 1 - y % 3, 1 + y % 3); // ending at the right edge
    }
    for (uint32_t pixel : {0xFF3080C0u, premultipliedPixel({0.9, 0.3, 0.6, 0.7})}) {
        Bitmap bitmap = noise(w, h, 11), before = bitmap;
        compositeCoverage(bitmap, mask, pixel);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t m = mask.at(x, y), d = before.pixel(x, y), expected = d;
                if (pixel >> 24 == 255) {
                    expected = 0;
                    for (int shift : {0, 8, 16, 24}) {
                        uint32_t c = ((pixel >> shift) & 255) * m + ((d >> shift) & 255) * (255 - m) + 128;
                        expected |= (((c + (c >> 8)) >> 8) & 255) << shift;
                    }
                } else {
                    expected = overPixel(scalePixel(pixel, m), d);
                }
                ASSERT_EQ(bitmap.pixel(x, y), expected) << x << "," << y << " coverage " << m;
            }
    }
}

TEST(Compositing, AMaskReachingPastTheBitmapIsPaintedOnlyInside) {
    Bitmap bitmap = *Bitmap::create(8, 6);
    CoverageMask mask;
    std::vector<uint8_t> ones(12, 255);
    for (int y = -2; y < 9; ++y)
        mask.append(y, -2, ones.data(), 12);
    compositeCoverage(bitmap, mask, 0xFF00FF00u);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(bitmap.pixel(x, y), 0xFF00FF00u) << x << "," << y;
}

TEST(Compositing, RestoringUnderCoverageTouchesExactlyThePixelsSomeMaskStores) {
    const int w = 20, h = 12;
    // Two masks that overlap, reach past the bitmap on every side, and hold coverage 0 in places:
    // a stored pixel counts whatever its coverage.
    CoverageMask a, b;
    std::vector<uint8_t> values(30, 0);
    for (int y = -3; y < h + 3; y += 2)
        a.append(y, -4 + y % 5, values.data(), 9);
    for (int y = 1; y < h + 5; ++y) {
        b.append(y, 2, values.data(), 3);
        b.append(y, 8 + y, values.data(), 6);
    }
    auto stored = [&](int x, int y) {
        auto in = [&](const CoverageMask& mask) {
            for (const CoverageSpan& span : mask.spans())
                if (span.y == y && x >= span.x && x < span.x + span.length)
                    return true;
            return false;
        };
        return in(a) || in(b);
    };
    const CoverageMask* masks[] = {&a, &b};
    // The source is smaller than the bitmap and placed inside it: pixels outside it stay.
    Bitmap source = noise(14, 9, 3);
    const int dx = 3, dy = 2;
    Bitmap copied = noise(w, h, 5), filled = noise(w, h, 5);
    const Bitmap before = noise(w, h, 5);
    copyUnderCoverage(copied, source, dx, dy, masks);
    fillUnderCoverage(filled, 0xFF123456u, masks);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool insideSource = x >= dx && y >= dy && x < dx + source.width() && y < dy + source.height();
            uint32_t expected =
                stored(x, y) && insideSource ? source.pixel(x - dx, y - dy) : before.pixel(x, y);
            EXPECT_EQ(copied.pixel(x, y), expected) << "copy at " << x << "," << y;
            EXPECT_EQ(filled.pixel(x, y), stored(x, y) ? 0xFF123456u : before.pixel(x, y))
                << "fill at " << x << "," << y;
        }
}

TEST(BezierPath, LinesNeedACurrentPointAndCloseReturnsToTheStart) {
    auto path = UIBezierPath::bezierPath();
    path->addLineToPoint({5, 5});
    EXPECT_TRUE(path->isEmpty()) << "a line with nowhere to start from is ignored";
    path->moveToPoint({1, 2});
    path->addLineToPoint({3, 4});
    path->closePath();
    EXPECT_EQ(path->currentPoint(), (CGPoint{1, 2}));
    path->addLineToPoint({9, 9});
    Ref<CGPath> snapshot = path->cgPath();
    EXPECT_EQ(snapshot.get(), path->cgPath().get()) << "unchanged path, same snapshot";
    auto lines = flattenPath(*snapshot, 2, 10, 0);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].closed);
    EXPECT_EQ(lines[1].points, (std::vector<CGPoint>{{12, 4}, {28, 18}}))
        << "starts again where the last subpath began";
    EXPECT_EQ(snapshot->boundingBox(), CGRectMake(1, 2, 8, 7));
    path->moveToPoint({0, 0});
    EXPECT_NE(snapshot.get(), path->cgPath().get());
    EXPECT_EQ(snapshot->elements().size(), 4u) << "a snapshot does not change with the path";
}
