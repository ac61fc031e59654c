// One drawn animation frame of the real lock screen: the lock-screen host started in this process
// on a default device (375 x 812 points at scale 3) with the tweak loaded from the device, so the
// scene is the one a person sees (wallpaper, clock, quick actions, hint, app buttons and the three
// waves). Baseline in the same run: cairo restoring the wave strip from the still picture and
// stroking the same three waves into it, the least a frame of the waves can cost with cairo. For
// context, also the whole screen repainted by cairo each frame.

#include "bench/support/InProcessLockScreen.h"
#include "bench/support/MedianReporter.h"
#include "platform/graphics/CairoCanvas.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/CAShapeLayer.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIView.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace {

struct RealLockScreen : bench::InProcessLockScreen {
    RealLockScreen() : InProcessLockScreen(ZV_ZORVI) { host->render(); }
    // Two refreshes: every second one advances and redraws the waves.
    void nextDrawnFrame() { RunLoop::main()->tick(2); }
    UIView* screen() const { return host->screenView(); }
};

RealLockScreen& scene() {
    static RealLockScreen instance;
    return instance;
}

void BM_RealSceneFrame(benchmark::State& state) {
    LayerRenderer& renderer = scene().host->renderer();
    renderer.invalidate();
    renderer.render(scene().screen());
    int64_t repainted = 0;
    for (auto _ : state) {
        scene().nextDrawnFrame();
        repainted += renderer.render(scene().screen()).area();
    }
    state.counters["repainted px"] =
        benchmark::Counter(double(repainted), benchmark::Counter::kAvgIterations);
}

struct PlacedShape {
    CAShapeLayer* layer;
    CGPoint origin; // of the layer's coordinates on the screen, in points
};

void collectShapes(CALayer* layer, CGPoint origin, std::vector<PlacedShape>& out) {
    CGRect frame = layer->frame();
    CGPoint here{origin.x + frame.origin.x - layer->bounds().origin.x,
                 origin.y + frame.origin.y - layer->bounds().origin.y};
    if (layer->isHidden())
        return;
    if (auto* shape = objc_cast<CAShapeLayer>(layer); shape && shape->path())
        out.push_back({shape, here});
    for (const Ref<CALayer>& sublayer : layer->sublayers())
        collectShapes(sublayer.get(), here, out);
}

void BM_CairoStripBaseline(benchmark::State& state) {
    UIView* screen = scene().screen();
    const double scale = UIScreen::mainScreen()->scale();
    std::vector<PlacedShape> shapes;
    collectShapes(screen->layer(), {-screen->frame().origin.x, -screen->frame().origin.y}, shapes);
    if (shapes.size() != 3) {
        state.SkipWithError("the scene does not hold three waves");
        return;
    }
    // The strip: the waves' layers' frames together, in pixels.
    double top = 1e9, bottom = -1e9;
    for (const auto& placed : shapes) {
        top = std::min(top, placed.origin.y + placed.layer->bounds().origin.y);
        bottom = std::max(bottom, placed.origin.y + placed.layer->bounds().origin.y +
                                      placed.layer->bounds().size.height);
    }
    // The still picture under the waves.
    for (const auto& placed : shapes)
        placed.layer->setHidden(true);
    LayerRenderer still(UIScreen::mainScreen()->pixelWidth(), UIScreen::mainScreen()->pixelHeight(), scale);
    still.render(screen);
    for (const auto& placed : shapes)
        placed.layer->setHidden(false);
    Bitmap background = still.bitmap();
    Bitmap target = background;
    cairo_surface_t* source = cairoSurfaceForBitmap(background);
    CairoCanvas canvas(target);
    cairo_t* cr = canvas.context();
    for (auto _ : state) {
        scene().nextDrawnFrame();
        cairo_save(cr);
        cairo_rectangle(cr, 0, top * scale, target.width(), (bottom - top) * scale);
        cairo_clip(cr);
        cairo_set_source_surface(cr, source, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        cairo_scale(cr, scale, scale);
        for (const auto& placed : shapes) {
            cairo_new_path(cr);
            for (const CGPathElement& e : placed.layer->path()->elements())
                if (e.type == CGPathElementType::MoveToPoint)
                    cairo_move_to(cr, placed.origin.x + e.point.x, placed.origin.y + e.point.y);
                else if (e.type == CGPathElementType::AddLineToPoint)
                    cairo_line_to(cr, placed.origin.x + e.point.x, placed.origin.y + e.point.y);
            CGColor colour = placed.layer->strokeColor() ? placed.layer->strokeColor()->cgColor() : CGColor{};
            cairo_set_source_rgba(cr, colour.red, colour.green, colour.blue, colour.alpha);
            cairo_set_line_width(cr, placed.layer->lineWidth());
            cairo_stroke(cr);
        }
        cairo_restore(cr);
        cairo_surface_flush(canvas.surface());
    }
    cairo_surface_destroy(source);
}

void BM_FullRepaintCairo(benchmark::State& state) {
    UIScreen* screen = UIScreen::mainScreen();
    LayerRenderer renderer(screen->pixelWidth(), screen->pixelHeight(), screen->scale(),
                           LayerRenderer::Mode::Reference);
    for (auto _ : state) {
        scene().nextDrawnFrame();
        renderer.render(scene().screen());
    }
}

BENCHMARK(BM_RealSceneFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_CairoStripBaseline)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_FullRepaintCairo)->Unit(benchmark::kMicrosecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    auto m = runBenchmarksForMedians(argc, argv);
    if (m.count("BM_RealSceneFrame") && m.count("BM_CairoStripBaseline")) {
        double frame = m["BM_RealSceneFrame"], strip = m["BM_CairoStripBaseline"];
        std::printf("\nReal-scene frame / cairo restoring and stroking the strip: %.0f / %.0f us = %.3f "
                    "(target at most 0.25: %s)\n",
                    frame, strip, frame / strip, frame / strip <= 0.25 ? "met" : "NOT met");
        if (m.count("BM_FullRepaintCairo"))
            std::printf("Real-scene frame / full cairo repaint: %.0f / %.0f us = %.3f\n", frame,
                        m["BM_FullRepaintCairo"], frame / m["BM_FullRepaintCairo"]);
    }
    scene().host.reset();
    benchmark::Shutdown();
    return 0;
}
