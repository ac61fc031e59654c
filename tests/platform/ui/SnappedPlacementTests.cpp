// A renderer that draws a screen at fewer pixels than the device's (a window at one pixel a point)
// puts what falls between pixels on the nearest ones, so that the frames where only waves move stay
// as cheap as on the device.

#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/LayerRenderer.h"
#include "tests/platform/ui/RendererTestLayers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t red = 0xFFFF0000u, white = 0xFFFFFFFFu;

LayerRenderer snapped(double pointsToPixels = 1) {
    return LayerRenderer(static_cast<int>(200 * pointsToPixels), static_cast<int>(150 * pointsToPixels),
                         pointsToPixels, LayerRenderer::Mode::Incremental, LayerRenderer::Placement::Snapped);
}

// A wallpaper at three device pixels a point, so that a picture at one pixel a point scales it down.
Ref<CGImage> wallpaper(int width, int height) {
    Bitmap pixels = *Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.setPixel(x, y, premultiplied_pixel(uint8_t(x / 3), uint8_t(y), uint8_t(90 + x % 50), 255));
    return CGImage::imageWithBitmap(std::move(pixels));
}

// A wallpaper band whose mask's edges lie half a point off the grid, three waves over it.
struct Band {
    Ref<CALayer> root;
    std::vector<Ref<CAShapeLayer>> waves;
    double phase = 0;

    Band() {
        root = colouredLayer(CGRectMake(0, 0, 200, 150), {0.95, 0.95, 0.97, 1});
        Ref<CALayer> cell = CALayer::layer();
        cell->setFrame(CGRectMake(0, 10.5, 200, 60));
        root->addSublayer(cell.get());
        Ref<CALayer> band = CALayer::layer();
        band->setFrame(CGRectMake(0, 0, 200, 50));
        auto mask = CAShapeLayer::layer();
        mask->setPath(UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 200, 50))->cgPath().get());
        band->setMask(mask.get());
        Ref<CALayer> picture = CALayer::layer();
        picture->setFrame(CGRectMake(0, -20, 200, 90));
        picture->setContents(wallpaper(600, 270).get());
        band->addSublayer(picture.get());
        cell->addSublayer(band.get());
        for (int i = 0; i < 3; ++i)
            waves.push_back(strokedLayer(cell.get(), CGRectMake(0, 0, 200, 50),
                                         CGColor{1, 1 - 0.3 * i, 0.5, 1 - 0.2 * i}, 1));
        step();
    }

    void step() {
        phase += 0.37;
        for (size_t i = 0; i < waves.size(); ++i)
            waves[i]->setPath(sine(phase * (1 + 0.3 * double(i)), 14 + 3 * double(i), 25).get());
    }
};

} // namespace

TEST(SnappedPlacement, ContentBetweenPixelsLiesWholeOnTheNearestOnesAndNothingThinVanishes) {
    Ref<CALayer> root = colouredLayer(CGRectMake(0, 0, 200, 150), {1, 1, 1, 1});
    root->addSublayer(colouredLayer(CGRectMake(10.5, 5.5, 20, 10), {1, 0, 0, 1}).get());
    // A hairline of 0.4 points, as a separator at a third of a point drawn at one pixel a point.
    root->addSublayer(colouredLayer(CGRectMake(50.2, 40, 0.4, 30), {1, 0, 0, 1}).get());
    Bitmap image = *Bitmap::create(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            image.setPixel(x, y, red);
    Ref<CALayer> icon = CALayer::layer();
    icon->setFrame(CGRectMake(37.5, 80.5, 3, 3));
    icon->setContents(CGImage::imageWithBitmap(std::move(image)).get());
    root->addSublayer(icon.get());

    LayerRenderer renderer = snapped();
    renderer.render(root.get());
    const Bitmap& shown = renderer.bitmap();
    // Halves round away from zero: the fill covers 11..30 x 6..15, each pixel wholly red.
    for (int y = 5; y <= 16; ++y)
        for (int x = 10; x <= 31; ++x) {
            bool inside = x >= 11 && x <= 30 && y >= 6 && y <= 15;
            ASSERT_EQ(shown.pixel(x, y), inside ? red : white) << x << "," << y;
        }
    for (int y = 40; y < 70; ++y)
        ASSERT_EQ(shown.pixel(50, y), red) << "the hairline at row " << y;
    EXPECT_EQ(shown.pixel(49, 55), white);
    EXPECT_EQ(shown.pixel(51, 55), white);
    for (int y = 80; y <= 84; ++y)
        for (int x = 37; x <= 41; ++x) {
            bool inside = x >= 38 && x <= 40 && y >= 81 && y <= 83;
            ASSERT_EQ(shown.pixel(x, y), inside ? red : white) << "the image at " << x << "," << y;
        }

    // The device's own picture keeps the exact placement: the fill's edge pixels are blended.
    LayerRenderer exact(200, 150, 1);
    exact.render(root.get());
    EXPECT_NE(exact.bitmap().pixel(10, 10), white);
    EXPECT_NE(exact.bitmap().pixel(10, 10), red);
}

TEST(SnappedPlacement, WavesOverAScaledDownWallpaperInAMaskedBandRepaintOnlyUnderTheirCoverage) {
    Band band;
    // At the device's placement, the band's mask lies between pixels: it is drawn as a group, and no
    // frame can restore under the waves.
    LayerRenderer exact(200, 150, 1);
    exact.render(band.root.get());
    band.step();
    exact.render(band.root.get());
    EXPECT_TRUE(exact.lastChangedCoverage().empty());

    LayerRenderer renderer = snapped();
    renderer.render(band.root.get());
    for (int frame = 0; frame < 5; ++frame) {
        std::string name = "frame " + std::to_string(frame);
        band.step();
        renderer.render(band.root.get());
        // The wallpaper scaled down stays opaque to its edges, so it is the floor the waves restore from.
        ASSERT_EQ(renderer.lastChangedCoverage().size(), 2 * band.waves.size()) << name;
        LayerRenderer fresh = snapped();
        fresh.render(band.root.get());
        ASSERT_EQ(firstDifference(renderer.bitmap(), fresh.bitmap()), "") << name;
    }
}
