#include "platform/graphics/Compositing.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/LayerRenderer.h"
#include "platform/ui/UIView.h"
#include "tests/platform/ui/RendererTestLayers.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>
#include <set>
#include <string>
#include <unistd.h>

namespace {

Ref<CGPath> circle(double cx, double cy, double r) {
    auto path = UIBezierPath::bezierPath();
    for (int i = 0; i < 48; ++i) {
        double a = 2 * std::numbers::pi * i / 48;
        CGPoint p{cx + r * std::cos(a), cy + r * std::sin(a)};
        i ? path->addLineToPoint(p) : path->moveToPoint(p);
    }
    path->closePath();
    return path->cgPath();
}

Ref<CGImage> checkerImage(int w, int h) {
    Bitmap bitmap = *Bitmap::create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bitmap.setPixel(x, y,
                            ((x / 4 + y / 4) & 1) ? premultiplied_pixel(250, 40, 40, 255)
                                                  : premultiplied_pixel(30, 30, 200, 160));
    return CGImage::imageWithBitmap(std::move(bitmap));
}

struct Scene {
    Ref<CALayer> root, clipper, sticking, group, groupA, groupB, masked, photo, shape, offGrid;

    Scene() {
        root = colouredLayer(CGRectMake(0, 0, 200, 150), {0.1, 0.1, 0.15, 1});
        clipper = colouredLayer(CGRectMake(10, 10, 60, 40), {0.3, 0.3, 0.3, 1});
        clipper->setMasksToBounds(true);
        sticking = colouredLayer(CGRectMake(40, 20, 50, 50), {0.9, 0.8, 0.1, 1});
        clipper->addSublayer(sticking.get());
        group = CALayer::layer();
        group->setFrame(CGRectMake(90, 10, 80, 60));
        group->setOpacity(0.5);
        groupA = colouredLayer(CGRectMake(0, 0, 50, 40), {1, 0, 0, 1});
        groupB = colouredLayer(CGRectMake(25, 20, 50, 40), {0, 0, 1, 1});
        group->addSublayer(groupA.get());
        group->addSublayer(groupB.get());
        masked = colouredLayer(CGRectMake(10, 70, 70, 70), {0.2, 0.9, 0.4, 1});
        auto mask = CAShapeLayer::layer();
        mask->setFrame(CGRectMake(0, 0, 70, 70));
        mask->setPath(circle(35, 35, 30).get());
        masked->setMask(mask.get());
        photo = CALayer::layer();
        photo->setFrame(CGRectMake(90, 80, 45, 30)); // a 30 x 20 image scaled up
        photo->setContents(checkerImage(30, 20).get());
        auto stroked = CAShapeLayer::layer();
        stroked->setFrame(CGRectMake(0, 0, 200, 150));
        auto zigzag = UIBezierPath::bezierPath();
        zigzag->moveToPoint({140, 140});
        for (int i = 1; i < 8; ++i)
            zigzag->addLineToPoint({140 + i * 7.3, i % 2 ? 95.5 : 140});
        stroked->setPath(zigzag->cgPath().get());
        stroked->setFillColor(CGColor{0.5, 0.2, 0.8, 0.7});
        stroked->setStrokeColor(CGColor{1, 1, 1, 0.9});
        stroked->setLineWidth(2.5);
        shape = stroked;
        offGrid = colouredLayer(CGRectMake(150.3, 40.7, 20.2, 10.1), {0.2, 0.6, 1, 0.8});
        for (auto* layer :
             {clipper.get(), group.get(), masked.get(), photo.get(), shape.get(), offGrid.get()})
            root->addSublayer(layer);
    }
};

struct Difference {
    int largest = 0;
    double mean = 0;
};

Difference compare(const Bitmap& a, const Bitmap& b) {
    Difference d;
    int64_t total = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int shift : {0, 8, 16, 24}) {
                int diff =
                    std::abs(int((a.pixel(x, y) >> shift) & 255) - int((b.pixel(x, y) >> shift) & 255));
                d.largest = std::max(d.largest, diff);
                total += diff;
            }
    d.mean = double(total) / (double(a.width()) * a.height() * 4);
    return d;
}

using Steps = std::vector<std::pair<const char*, std::function<void()>>>;

// Makes each change in turn and checks that the incremental rendering still matches a full one.
// Answers the incremental renderer, left after the last step.
std::unique_ptr<LayerRenderer> expectEachStepMatchesAFullRendering(CALayer* root, const Steps& steps) {
    auto fast = std::make_unique<LayerRenderer>(width, height, scale);
    LayerRenderer reference(width, height, scale, LayerRenderer::Mode::Reference);
    for (auto& [name, change] : steps) {
        change();
        fast->render(root);
        reference.render(root);
        Difference d = compare(fast->bitmap(), reference.bitmap());
        EXPECT_LE(d.largest, 40) << name;
        EXPECT_LT(d.mean, 0.1) << name;
    }
    return fast;
}

} // namespace

TEST(LayerRenderer, RepaintingOnlyTheDamageMatchesAFullRendering) {
    Scene scene;
    Steps steps{
        {"first frame", [] {}},
        {"move a clipped child",
         [&] {
             scene.sticking->setPosition({20, 30});
         }},
        {"recolour inside a group",
         [&] {
             scene.groupB->setBackgroundColor(CGColor{0, 1, 0, 1});
         }},
        {"group opacity", [&] { scene.group->setOpacity(0.8f); }},
        {"hide the photo", [&] { scene.photo->setHidden(true); }},
        {"show it elsewhere",
         [&] {
             scene.photo->setHidden(false);
             scene.photo->setFrame(CGRectMake(20, 20, 60, 40));
         }},
        {"change the mask",
         [&] { static_cast<CAShapeLayer*>(scene.masked->mask())->setPath(circle(20, 40, 25).get()); }},
        {"remove a layer", [&] { scene.groupA->removeFromSuperlayer(); }},
        {"reorder", [&] { scene.root->insertSublayer(scene.shape.get(), 0); }},
        {"scroll the clipper", [&] { scene.clipper->setBounds(CGRectMake(15, 10, 60, 40)); }},
        {"move off the grid",
         [&] {
             scene.offGrid->setPosition({60.33, 80.17});
         }},
        {"nothing at all", [] {}},
    };
    auto fast = expectEachStepMatchesAFullRendering(scene.root.get(), steps);
    // Nothing changed in the last step, so nothing was repainted.
    EXPECT_TRUE(fast->render(scene.root.get()).isEmpty());
}

// A wallpaper-like layer that covers the damage hides what lies under it, until it stops
// covering it: each frame still matches a full rendering.
TEST(LayerRenderer, AnOpaqueLayerOverTheDamageHidesWhatLiesBelowOnlyWhileItCovers) {
    Ref<CALayer> root = colouredLayer(CGRectMake(0, 0, 200, 150), {0.8, 0.1, 0.1, 1});
    Ref<CALayer> below = colouredLayer(CGRectMake(20, 20, 40, 40), {0.1, 0.9, 0.1, 0.6});
    Bitmap pixels = *Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.setPixel(
                x, y, premultiplied_pixel(uint8_t(x * 255 / width), 90, uint8_t(y * 255 / height), 255));
    Ref<CALayer> cover = CALayer::layer();
    cover->setFrame(CGRectMake(0, 0, 200, 150));
    cover->setContents(CGImage::imageWithBitmap(std::move(pixels)).get());
    Ref<CALayer> above = colouredLayer(CGRectMake(50, 50, 30, 20), {0.2, 0.3, 1, 0.7});
    for (auto* layer : {below.get(), cover.get(), above.get()})
        root->addSublayer(layer);
    Steps steps{
        {"first frame", [] {}},
        {"move a layer above",
         [&] {
             above->setPosition({120, 90});
         }},
        {"change the one below",
         [&] {
             below->setBackgroundColor(CGColor{1, 1, 0, 1});
         }},
        {"the cover turns translucent", [&] { cover->setOpacity(0.5f); }},
        {"a change below shows through",
         [&] {
             below->setPosition({100, 60});
         }},
        {"the cover is opaque again", [&] { cover->setOpacity(1); }},
        {"the cover shrinks off the grid", [&] { cover->setFrame(CGRectMake(30.25, 10, 100, 100)); }},
        {"a change beside it",
         [&] {
             below->setPosition({20, 120});
         }},
        {"the cover is hidden", [&] { cover->setHidden(true); }},
    };
    expectEachStepMatchesAFullRendering(root.get(), steps);
}

namespace {

void expectSamePixels(const Bitmap& a, const Bitmap& b, const std::string& step) {
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                ADD_FAILURE() << step << ": pixel " << x << "," << y << " is " << std::hex << a.pixel(x, y)
                              << ", drawn afresh " << b.pixel(x, y);
                return;
            }
}

} // namespace

// Waves that move over a wallpaper change only the pixels under the coverage they had and have:
// every frame, whatever changed with them, equals the same tree drawn afresh, pixel for pixel.
TEST(LayerRenderer, ShapesMovingOverAnOpaqueLayerLeaveNothingBehind) {
    for (bool image : {true, false}) {
        Ref<CALayer> root = colouredLayer(CGRectMake(0, 0, 200, 150), {0, 0, 0, 1});
        Ref<CALayer> wallpaper = CALayer::layer();
        wallpaper->setFrame(CGRectMake(0, 0, 200, 150));
        if (image) {
            Bitmap pixels = *Bitmap::create(width, height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    pixels.setPixel(x, y, premultiplied_pixel(uint8_t(x * 7), uint8_t(y * 3), 90, 255));
            wallpaper->setContents(CGImage::imageWithBitmap(std::move(pixels)).get());
        } else {
            wallpaper->setBackgroundColor(CGColor{0.3, 0.5, 0.2, 1});
        }
        root->addSublayer(wallpaper.get());
        Ref<CALayer> strip = CALayer::layer();
        strip->setFrame(CGRectMake(0, 60, 200, 90));
        wallpaper->addSublayer(strip.get());
        std::vector<Ref<CAShapeLayer>> waves;
        for (int i = 0; i < 3; ++i)
            waves.push_back(strokedLayer(strip.get(), CGRectMake(0, 0, 200, 90),
                                         CGColor{1, 1 - 0.3 * i, 0.5, 1 - 0.2 * i}));
        // A small filled dot that moves with them: its fill's coverage is restored too.
        auto dot = CAShapeLayer::layer();
        dot->setFrame(CGRectMake(0, 0, 200, 90));
        dot->setFillColor(CGColor{0.9, 0.1, 0.6, 0.7});
        strip->addSublayer(dot.get());
        Ref<CALayer> label = colouredLayer(CGRectMake(20, 10, 40, 20), {1, 1, 1, 0.5});
        root->addSublayer(label.get());
        double phase = 0;
        auto step = [&] {
            phase += 0.37;
            for (size_t i = 0; i < waves.size(); ++i)
                waves[i]->setPath(sine(phase * (1 + 0.3 * double(i)), 20 + 3 * double(i), 45).get());
            dot->setPath(circle(20 + 30 * phase, 40, 6).get());
        };
        Steps steps{
            {"first frame", step},
            {"the waves move", step},
            {"and again", step},
            {"one wave also fills",
             [&] {
                 step();
                 waves[1]->setFillColor(CGColor{0.1, 0.2, 0.9, 0.4});
             }},
            {"the fill goes",
             [&] {
                 step();
                 waves[1]->setFillColor(CGColor{0, 0, 0, 0});
             }},
            {"a wave recoloured without moving",
             [&] {
                 waves[0]->setStrokeColor(CGColor{0, 1, 1, 0.7});
             }},
            {"a layer above moves onto the waves",
             [&] {
                 step();
                 label->setPosition({100, 110});
             }},
            {"the waves move under it", step},
            {"the layer above leaves",
             [&] {
                 step();
                 label->setPosition({40, 20});
             }},
            {"a wave is hidden",
             [&] {
                 step();
                 waves[2]->setHidden(true);
             }},
            {"it shows again",
             [&] {
                 step();
                 waves[2]->setHidden(false);
             }},
            {"the strip turns translucent",
             [&] {
                 step();
                 strip->setOpacity(0.6f);
             }},
            {"the waves move in it", step},
            {"the strip is opaque again",
             [&] {
                 step();
                 strip->setOpacity(1);
             }},
            {"a wave's stroke goes to cairo",
             [&] {
                 step();
                 auto back = UIBezierPath::bezierPath();
                 back->moveToPoint({30, 40});
                 back->addLineToPoint({90, 40});
                 back->closePath();
                 waves[1]->setPath(back->cgPath().get());
             }},
            {"and comes back", step},
            {"the waves move once more", step},
        };
        // A wave's fill covers much of the strip: restoring under it costs more than the damage.
        const std::set<std::string> notUnderCoverage{"first frame",
                                                     "one wave also fills",
                                                     "the fill goes",
                                                     "a wave recoloured without moving",
                                                     "a layer above moves onto the waves",
                                                     "the waves move under it",
                                                     "the layer above leaves",
                                                     "a wave is hidden",
                                                     "the strip turns translucent",
                                                     "the strip is opaque again",
                                                     "a wave's stroke goes to cairo",
                                                     "and comes back"};
        LayerRenderer renderer(width, height, scale);
        for (auto& [name, change] : steps) {
            std::string step = std::string(image ? "image: " : "colour: ") + name;
            Bitmap before = renderer.bitmap();
            change();
            renderer.render(root.get());
            LayerRenderer afresh(width, height, scale);
            afresh.render(root.get());
            expectSamePixels(renderer.bitmap(), afresh.bitmap(), step);
            // When the renderer says which coverage the change lies under, nothing changed elsewhere;
            // and it says so whenever only shapes drawn from their coverage changed, with nothing
            // unchanged drawn over them.
            auto coverage = renderer.lastChangedCoverage();
            EXPECT_EQ(!coverage.empty(), !notUnderCoverage.contains(name)) << step;
            if (coverage.empty())
                continue;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    if (before.pixel(x, y) != renderer.bitmap().pixel(x, y) &&
                        std::none_of(coverage.begin(), coverage.end(),
                                     [&](const CoverageMask* mask) { return stored(*mask, x, y); }))
                        ADD_FAILURE()
                            << step << ": pixel " << x << "," << y << " changed outside the coverage";
        }
    }
}

TEST(LayerRenderer, MovingASmallLayerRepaintsItsOldAndNewPlaceOnly) {
    Ref<CALayer> root = colouredLayer(CGRectMake(0, 0, 200, 150), {0, 0, 0, 1});
    Ref<CALayer> box = colouredLayer(CGRectMake(10, 10, 10, 10), {1, 1, 1, 1});
    root->addSublayer(box.get());
    LayerRenderer renderer(width, height, scale);
    EXPECT_EQ(renderer.render(root.get()).area(), int64_t(width) * height)
        << "the first frame paints everything";
    box->setPosition({100, 100});
    const Region& damage = renderer.render(root.get());
    EXPECT_EQ(damage.area(), 2 * 20 * 20);
    EXPECT_TRUE(damage.contains(20, 20) && damage.contains(190, 190));
    EXPECT_EQ(renderer.bitmap().pixel(25, 25), 0xFF000000u) << "the old place is cleaned up";
    EXPECT_EQ(renderer.bitmap().pixel(195, 195), 0xFFFFFFFFu);
    // A layer that appears, and one that goes away, count too.
    Ref<CALayer> late = colouredLayer(CGRectMake(0, 0, 5, 5), {1, 0, 0, 1});
    root->addSublayer(late.get());
    EXPECT_EQ(renderer.render(root.get()).area(), 10 * 10);
    late->removeFromSuperlayer();
    EXPECT_EQ(renderer.render(root.get()).area(), 10 * 10);
    EXPECT_EQ(renderer.bitmap().pixel(3, 3), 0xFF000000u);
    // A frame where nothing changed repaints nothing, and what changes after it is drawn.
    EXPECT_TRUE(renderer.render(root.get()).isEmpty());
    EXPECT_TRUE(renderer.lastRepaint().isEmpty());
    box->setHidden(true);
    EXPECT_EQ(renderer.render(root.get()).area(), 20 * 20);
    EXPECT_EQ(renderer.bitmap().pixel(195, 195), 0xFF000000u);
}

TEST(LayerRenderer, WritesThePixelsAsPNG) {
    Scene scene;
    LayerRenderer renderer(width, height, scale);
    renderer.render(scene.root.get());
    std::string path = testing::TempDir() + "renderer-" + std::to_string(::getpid()) + ".png";
    ASSERT_TRUE(renderer.writePNG(path));
    cairo_surface_t* read = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(read), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(read), width);
    EXPECT_EQ(cairo_image_surface_get_height(read), height);
    // Opaque pixels survive the trip exactly.
    const uint8_t* data = cairo_image_surface_get_data(read);
    int stride = cairo_image_surface_get_stride(read);
    for (int y = 0; y < height; y += 17) {
        for (int x = 0; x < width; x += 13) {
            uint32_t written = renderer.bitmap().pixel(x, y);
            if ((written >> 24) == 255) {
                uint32_t back;
                std::memcpy(&back, data + y * stride + x * 4, 4);
                ASSERT_EQ(back, written) << x << "," << y;
            }
        }
    }
    cairo_surface_destroy(read);
    // A folder that cannot exist (its parent is a file) is a clear failure.
    EXPECT_FALSE(renderer.writePNG(path + "/inside.png"));
    std::remove(path.c_str());
}

TEST(LayerRenderer, ScrollingMovesThePixelsAndRepaintsOnlyWhatTheMoveUncovers) {
    Ref<CALayer> root = colouredLayer(CGRectMake(0, 0, 200, 150), {0.1, 0.1, 0.15, 1});
    Ref<CALayer> table = colouredLayer(CGRectMake(0, 20, 200, 110), {0.95, 0.95, 0.97, 1});
    table->setMasksToBounds(true);
    std::vector<Ref<CALayer>> rows;
    for (int i = 0; i < 12; ++i) {
        rows.push_back(
            colouredLayer(CGRectMake(10, 5 + i * 30, 180, 24), {0.2 + 0.05 * i, 0.5, 1 - 0.06 * i, 1}));
        table->addSublayer(rows.back().get());
    }
    auto wave = CAShapeLayer::layer();
    wave->setFrame(CGRectMake(0, 0, 200, 60));
    wave->setFillColor(std::nullopt);
    wave->setStrokeColor(CGColor{1, 1, 1, 1});
    wave->setLineWidth(2);
    wave->setPath(circle(60, 30, 20).get());
    table->addSublayer(wave.get());
    // A translucent bar above the table, overlapping its top, and a photo partly over it.
    Ref<CALayer> bar = colouredLayer(CGRectMake(0, 0, 200, 30), {0.55, 0.28, 0.82, 0.9});
    Ref<CALayer> photo = CALayer::layer();
    photo->setFrame(CGRectMake(120, 100, 45, 40));
    photo->setContents(checkerImage(30, 20).get());
    root->addSublayer(table.get());
    root->addSublayer(bar.get());
    root->addSublayer(photo.get());

    LayerRenderer fast(width, height, scale);
    fast.render(root.get());
    int64_t tableArea = int64_t(200 * scale) * int64_t(110 * scale);
    for (int step = 1; step <= 10; ++step) {
        // Down a few points a step, back up at the end; the wave changes as it would while animating.
        double offset = step <= 7 ? step * 7.5 : (10 - step) * 11;
        table->setBounds(CGRectMake(0, offset, 200, 110));
        if (step % 2 == 0)
            wave->setPath(circle(60 + step * 3, 30, 20).get());
        if (step == 5)
            photo->setPosition({100, 110});
        const Region& changed = fast.render(root.get());
        EXPECT_GE(changed.area(), tableArea) << "the moved pixels are reported as changed";
        if (step % 2 == 1 && step != 5) {
            EXPECT_LT(fast.lastRepaint().area(), tableArea / 3)
                << "step " << step << ": only the uncovered strip";
        }
        // The moved and repainted picture is the one a renderer drawing everything afresh makes.
        LayerRenderer fresh(width, height, scale);
        fresh.render(root.get());
        Difference d = compare(fast.bitmap(), fresh.bitmap());
        EXPECT_LE(d.largest, 1) << "step " << step;
    }
}
