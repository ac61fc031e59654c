// Waves over a masked wallpaper band and over a header's colour, as on the bundle's root page: a
// frame where only the waves moved repaints nothing but the pixels under the coverage they had and
// have, and leaves the same pixels as the tree drawn afresh.

#include "platform/graphics/Compositing.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/LayerRenderer.h"
#include "tests/platform/ui/RendererTestLayers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace {

// The band's rectangle as one subpath (a mask that clips), or as its two halves (the same area,
// which the renderer draws as a mask).
Ref<CGPath> bandOutline(bool halves) {
    auto path = UIBezierPath::bezierPath();
    auto rectangle = [&](double left, double right) {
        path->moveToPoint({left, 0});
        path->addLineToPoint({right, 0});
        path->addLineToPoint({right, 50});
        path->addLineToPoint({left, 50});
        path->closePath();
    };
    if (halves) {
        rectangle(0, 100);
        rectangle(100, 200);
    } else {
        rectangle(0, 200);
    }
    return path->cgPath();
}

Ref<CGImage> wallpaper() {
    Bitmap pixels = *Bitmap::create(400, 180);
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x)
            pixels.setPixel(x, y,
                            premultiplied_pixel(uint8_t(x * 7), uint8_t(y * 3), uint8_t(90 + x % 50), 255));
    return CGImage::imageWithBitmap(std::move(pixels));
}

// A page: a masked wallpaper band with three waves over it near the top, a coloured header with two
// waves of its own lower down, and a translucent label between them.
struct Page {
    Ref<CALayer> root, band, picture, header, label;
    Ref<CAShapeLayer> mask;
    std::vector<Ref<CAShapeLayer>> bandWaves, headerWaves;
    double phase = 0;

    explicit Page(bool maskInHalves = false) {
        root = colouredLayer(CGRectMake(0, 0, 200, 150), {0.95, 0.95, 0.97, 1});
        Ref<CALayer> cell = CALayer::layer();
        cell->setFrame(CGRectMake(0, 10, 200, 60));
        root->addSublayer(cell.get());
        band = CALayer::layer();
        band->setFrame(CGRectMake(0, 0, 200, 50));
        mask = CAShapeLayer::layer();
        mask->setPath(bandOutline(maskInHalves).get());
        band->setMask(mask.get());
        // Scaled to cover the band, as an image view filling its aspect does: larger than the band.
        picture = CALayer::layer();
        picture->setFrame(CGRectMake(0, -20, 200, 90));
        picture->setContents(wallpaper().get());
        band->addSublayer(picture.get());
        cell->addSublayer(band.get());
        for (int i = 0; i < 3; ++i)
            bandWaves.push_back(strokedLayer(cell.get(), CGRectMake(0, 0, 200, 50),
                                             CGColor{1, 1 - 0.3 * i, 0.5, 1 - 0.2 * i}));
        label = colouredLayer(CGRectMake(20, 78, 60, 12), {0.1, 0.1, 0.1, 0.6});
        root->addSublayer(label.get());
        header = colouredLayer(CGRectMake(0, 100, 200, 50), {0.4, 0.2, 0.6, 1});
        root->addSublayer(header.get());
        for (int i = 0; i < 2; ++i)
            headerWaves.push_back(
                strokedLayer(header.get(), CGRectMake(0, 0, 200, 50), CGColor{1, 1, 1, 0.8 - 0.3 * i}));
        step();
    }

    void step() {
        phase += 0.37;
        for (size_t i = 0; i < bandWaves.size(); ++i)
            bandWaves[i]->setPath(sine(phase * (1 + 0.3 * double(i)), 10 + 2 * double(i), 25).get());
        for (size_t i = 0; i < headerWaves.size(); ++i)
            headerWaves[i]->setPath(sine(phase * (1 + 0.2 * double(i)), 12, 25).get());
    }
};

bool underCoverage(std::span<const CoverageMask* const> masks, int x, int y) {
    for (const CoverageMask* mask : masks)
        if (stored(*mask, x, y))
            return true;
    return false;
}

} // namespace

TEST(CoverageRestore, WavesOverAMaskedWallpaperAndAHeaderRepaintOnlyUnderTheirCoverage) {
    Page page;
    LayerRenderer renderer(width, height, scale);
    renderer.render(page.root.get());
    for (int frame = 0; frame < 6; ++frame) {
        std::string name = "frame " + std::to_string(frame);
        Bitmap before = renderer.bitmap();
        page.step();
        renderer.render(page.root.get());
        auto coverage = renderer.lastChangedCoverage();
        // Both groups of waves, each over its own opaque layer, were restored under their coverage.
        ASSERT_FALSE(coverage.empty()) << name << ": the frame repainted the damage instead";
        EXPECT_EQ(coverage.size(), 2u * (page.bandWaves.size() + page.headerWaves.size())) << name;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (before.pixel(x, y) != renderer.bitmap().pixel(x, y) && !underCoverage(coverage, x, y)) {
                    ADD_FAILURE() << name << ": pixel " << x << "," << y << " changed outside the coverage";
                    y = height;
                    break;
                }
        LayerRenderer afresh(width, height, scale);
        afresh.render(page.root.get());
        EXPECT_EQ(firstDifference(renderer.bitmap(), afresh.bitmap()), "") << name << ": differs from afresh";
    }
}

TEST(CoverageRestore, AMaskThatOnlyClipsDrawsWhatTheSameMaskDrawnAsAMaskDraws) {
    Page clipped, masked(true);
    LayerRenderer clipping(width, height, scale), masking(width, height, scale);
    for (int frame = 0; frame < 6; ++frame) {
        // Every third frame a layer beside the waves changes too: the waves repaint their damage.
        if (frame % 3 == 2)
            for (Page* page : {&clipped, &masked})
                page->label->setPosition({50.0 + frame, 84});
        clipping.render(clipped.root.get());
        masking.render(masked.root.get());
        EXPECT_EQ(firstDifference(clipping.bitmap(), masking.bitmap()), "") << "frame " << frame;
        // Drawn as a mask, the band is a group: its waves repaint the damage.
        if (frame > 0) {
            EXPECT_TRUE(masking.lastChangedCoverage().empty()) << "frame " << frame;
        }
        clipped.step();
        masked.step();
    }
}

TEST(CoverageRestore, WhatTheWavesCannotRestoreFromIsRepaintedWhole) {
    struct Change {
        const char* name;
        void (*make)(Page&);
    };
    const Change changes[] = {
        {"the mask's edge leaves the pixel grid",
         [](Page& page) {
             auto path = UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 200, 49.7));
             page.mask->setPath(path->cgPath().get());
         }},
        {"the mask turns translucent",
         [](Page& page) {
             page.mask->setFillColor(CGColor{0, 0, 0, 0.5});
         }},
        {"the label moves above the header's waves",
         [](Page& page) {
             page.root->addSublayer(page.label.get());
             page.label->setPosition({50, 125});
         }},
        {"the header's colour turns translucent",
         [](Page& page) {
             page.header->setBackgroundColor(CGColor{0.4, 0.2, 0.6, 0.7});
         }},
    };
    for (const Change& change : changes) {
        Page page;
        LayerRenderer renderer(width, height, scale);
        renderer.render(page.root.get());
        change.make(page);
        renderer.render(page.root.get());
        for (int frame = 0; frame < 3; ++frame) {
            std::string name = std::string(change.name) + ", frame " + std::to_string(frame);
            page.step();
            renderer.render(page.root.get());
            EXPECT_TRUE(renderer.lastChangedCoverage().empty()) << name;
            LayerRenderer afresh(width, height, scale);
            afresh.render(page.root.get());
            EXPECT_EQ(firstDifference(renderer.bitmap(), afresh.bitmap()), "") << name;
        }
    }
}
