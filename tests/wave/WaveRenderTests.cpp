#include "platform/graphics/Compositing.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/LayerRenderer.h"
#include "wave/UUWaveView.h"
#include "wave/WaveSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double screenWidth = 375, screenHeight = 812, scale = 3, stripHeight = 55;

// The lock screen as the tweak builds it: a wallpaper, and three wave views in a strip along the
// bottom, each with one wave of the standard set.
struct LockScreen {
    Ref<UIView> root;
    std::vector<Ref<UUWaveView>> views;
    std::vector<Ref<UUWave>> waves;

    explicit LockScreen(std::array<CGColor, 3> colours) {
        root = makeViewWithFrame<UIView>(CGRectMake(0, 0, screenWidth, screenHeight));
        Bitmap wallpaper = *Bitmap::create(int(screenWidth * scale), int(screenHeight * scale));
        for (int y = 0; y < wallpaper.height(); ++y)
            for (int x = 0; x < wallpaper.width(); ++x)
                wallpaper.setPixel(x, y,
                                   premultiplied_pixel(uint8_t(40 + x * 120 / wallpaper.width()),
                                                       uint8_t(30 + y * 90 / wallpaper.height()), 110, 255));
        root->layer()->setContents(CGImage::imageWithBitmap(std::move(wallpaper)).get());
        for (size_t i = 0; i < 3; ++i) {
            auto view = makeViewWithFrame<UUWaveView>(
                CGRectMake(0, screenHeight - stripHeight, screenWidth, stripHeight));
            auto wave = makeStandardWave(i, screenWidth, strokeOnlyCreator(colours[i]));
            view->addWaves(NSArray::arrayWithObjects({wave}));
            root->addSubview(view.get());
            views.push_back(view);
            waves.push_back(wave);
        }
        for (auto& view : views)
            view->start();
    }
    ~LockScreen() {
        for (auto& view : views)
            view->stop();
    }
};

// Where the centre of wave i lies at x, in points from the top of the screen: the curve written
// out in double precision, independently of the path code.
double curveY(const LockScreen& scene, size_t i, double x) {
    const WaveParameters& p = standardWaveSet[i];
    double m = scene.waves[i]->moveX();
    double shifted = p.direction == 0 ? x + m : x - m;
    double centre = p.amplitude + p.lineWidth;
    return screenHeight - stripHeight + centre +
           p.amplitude * std::sin(p.offsetX + 2 * std::numbers::pi * shifted / screenWidth);
}

uint32_t pixelAt(const Bitmap& bitmap, double xPoints, double yPoints) {
    return bitmap.pixel(int(std::floor(xPoints * scale)), int(std::floor(yPoints * scale)));
}

bool isWhite(uint32_t pixel) {
    return (pixel & 0xFFFFFF) == 0xFFFFFF;
}

} // namespace

TEST(WaveRendering, AFrameShowsThreeWhiteSineLinesWhereTheyBelong) {
    RunLoop::main()->useVirtualClock();
    CGColor white{1, 1, 1, 1};
    LockScreen scene({white, white, white});
    LayerRenderer renderer(int(screenWidth * scale), int(screenHeight * scale), scale);
    for (int frame = 0; frame < 3; ++frame) {
        const Bitmap& pixels = renderer.bitmap();
        renderer.render(scene.root.get());
        for (size_t i = 0; i < 3; ++i)
            for (double x : {1.5, 40.0, 97.2, 187.5, 250.0, 333.3, 373.9}) {
                double y = curveY(scene, i, x);
                EXPECT_TRUE(isWhite(pixelAt(pixels, x, y)))
                    << "wave " << i << " at x " << x << ", frame " << frame;
            }
        // Away from every line the wallpaper shows through, untouched.
        for (double x = 2; x < screenWidth; x += 7.3)
            for (double y = screenHeight - stripHeight + 0.5; y < screenHeight; y += 1.7) {
                bool nearLine = false;
                for (size_t i = 0; i < 3; ++i)
                    nearLine |= std::fabs(curveY(scene, i, x) - y) < 2.5;
                if (nearLine)
                    continue;
                int px = int(x * scale), py = int(y * scale);
                uint32_t expected = premultiplied_pixel(uint8_t(40 + px * 120 / pixels.width()),
                                                        uint8_t(30 + py * 90 / pixels.height()), 110, 255);
                ASSERT_EQ(pixels.pixel(px, py), expected) << "at " << x << "," << y;
            }
        RunLoop::main()->tick(2); // one drawn frame: the waves move on
    }
    EXPECT_EQ(scene.waves[0]->moveX(), 9);
    EXPECT_EQ(scene.waves[2]->moveX(), 7.5);
}

TEST(WaveRendering, TheIncrementalFrameEqualsAFullCairoRendering) {
    RunLoop::main()->useVirtualClock();
    // Translucent strokes, as with the wallpaper blend (1.0, 0.8, 0.6), so that blending is checked too.
    LockScreen scene({CGColor{0.9, 0.6, 0.3, 1}, CGColor{0.9, 0.6, 0.3, 0.8}, CGColor{0.9, 0.6, 0.3, 0.6}});
    int width = int(screenWidth * scale), height = int(screenHeight * scale);
    LayerRenderer fast(width, height, scale);
    LayerRenderer reference(width, height, scale, LayerRenderer::Mode::Reference);
    fast.render(scene.root.get());
    for (int frame = 0; frame < 8; ++frame) {
        RunLoop::main()->tick(2);
        const Region& damage = fast.render(scene.root.get());
        reference.render(scene.root.get());
        // What may change: the damage, or when the frame only restored and repainted what lies under
        // the moving lines, those lines' pixels.
        int64_t changeable = damage.area();
        if (!fast.lastChangedCoverage().empty()) {
            changeable = 0;
            for (const CoverageMask* mask : fast.lastChangedCoverage())
                for (const CoverageSpan& span : mask->spans())
                    changeable += span.length;
        }
        EXPECT_LT(changeable, int64_t(width) * height / 20)
            << "a frame repaints the strip's lines, not the screen";
        EXPECT_TRUE(damage.bounds().y >= int((screenHeight - stripHeight) * scale))
            << "and nothing above the strip";
        int largest = 0;
        int64_t total = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint32_t a = fast.bitmap().pixel(x, y), b = reference.bitmap().pixel(x, y);
                for (int shift : {0, 8, 16, 24}) {
                    int d = std::abs(int((a >> shift) & 255) - int((b >> shift) & 255));
                    largest = std::max(largest, d);
                    total += d;
                }
            }
        EXPECT_LE(largest, 24) << "frame " << frame;
        EXPECT_LT(double(total) / (double(width) * height * 4), 0.01) << "frame " << frame;
    }
}
