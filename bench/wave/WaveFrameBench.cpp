// One drawn animation frame of a lock screen of wave views (375 x 812 points at scale 3: a
// full-screen wallpaper and the waves in their 55-point strip) with 3, 6 and 12 wave views, giving
// what each additional view costs; against, in the same run, cairo stroking one wave into the strip
// and a full repaint of the three-view scene. The figures are printed after the table.

#include "bench/support/LockScreenScene.h"
#include "bench/support/MedianReporter.h"
#include "platform/graphics/CairoCanvas.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

void BM_AnimationFrame(benchmark::State& state) {
    LockScreen scene(static_cast<size_t>(state.range(0)));
    LayerRenderer renderer(pixelWidth, pixelHeight, scale);
    renderer.render(scene.root.get());
    int64_t repainted = 0;
    for (auto _ : state) {
        scene.nextDrawnFrame();
        repainted += renderer.render(scene.root.get()).area();
    }
    state.counters["repainted px"] =
        benchmark::Counter(double(repainted), benchmark::Counter::kAvgIterations);
}

void BM_FullRepaintCairo(benchmark::State& state) {
    LockScreen scene;
    LayerRenderer renderer(pixelWidth, pixelHeight, scale, LayerRenderer::Mode::Reference);
    for (auto _ : state) {
        scene.nextDrawnFrame();
        renderer.render(scene.root.get());
    }
}

void BM_FullRepaintOwn(benchmark::State& state) {
    LockScreen scene;
    LayerRenderer renderer(pixelWidth, pixelHeight, scale);
    for (auto _ : state) {
        scene.nextDrawnFrame();
        renderer.invalidate();
        renderer.render(scene.root.get());
    }
}

// Cairo stroking the waves of the views into the strip (one view: one wave), and the waves' own
// state change alone.
void BM_CairoStrokeOfTheStrip(benchmark::State& state) {
    LockScreen scene(static_cast<size_t>(state.range(0)));
    Bitmap strip = *Bitmap::create(pixelWidth, int(stripHeight * scale));
    for (auto _ : state) {
        scene.nextDrawnFrame();
        CairoCanvas canvas(strip);
        cairo_scale(canvas.context(), scale, scale);
        for (auto& view : scene.views)
            for (const Ref<CALayer>& layer : view->layer()->sublayers())
                if (auto* shape = objc_cast<CAShapeLayer>(layer.get())) {
                    cairo_new_path(canvas.context());
                    for (const CGPathElement& e : shape->path()->elements())
                        if (e.type == CGPathElementType::MoveToPoint)
                            cairo_move_to(canvas.context(), e.point.x, e.point.y);
                        else if (e.type == CGPathElementType::AddLineToPoint)
                            cairo_line_to(canvas.context(), e.point.x, e.point.y);
                    cairo_set_source_rgba(canvas.context(), 1, 1, 1, 1);
                    cairo_set_line_width(canvas.context(), 2);
                    cairo_stroke(canvas.context());
                }
    }
}

void BM_WaveStateOnly(benchmark::State& state) {
    LockScreen scene;
    for (auto _ : state)
        scene.nextDrawnFrame();
}

BENCHMARK(BM_AnimationFrame)->Arg(3)->Arg(6)->Arg(12)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_FullRepaintCairo)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_FullRepaintOwn)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_CairoStrokeOfTheStrip)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_WaveStateOnly)->Unit(benchmark::kMicrosecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    auto m = runBenchmarksForMedians(argc, argv);
    auto has = [&](const char* name) { return m.count(name) != 0; };
    if (has("BM_AnimationFrame/3") && has("BM_AnimationFrame/6") && has("BM_AnimationFrame/12")) {
        double three = m["BM_AnimationFrame/3"], six = m["BM_AnimationFrame/6"],
               twelve = m["BM_AnimationFrame/12"];
        double perView = (twelve - three) / 9;
        std::printf("\nFrames with 3, 6 and 12 wave views: %.0f, %.0f and %.0f us\n", three, six, twelve);
        std::printf("Each additional wave view: %.1f us (3 to 6: %.1f us; 6 to 12: %.1f us); target at most "
                    "40 us: %s\n",
                    perView, (six - three) / 3, (twelve - six) / 6, perView <= 40 ? "met" : "NOT met");
        if (has("BM_CairoStrokeOfTheStrip/1"))
            std::printf("Each additional view / cairo stroking one wave: %.1f / %.0f us = %.3f\n", perView,
                        m["BM_CairoStrokeOfTheStrip/1"], perView / m["BM_CairoStrokeOfTheStrip/1"]);
        if (has("BM_FullRepaintCairo"))
            std::printf("Three-view frame / full cairo repaint: %.0f / %.0f us = %.3f\n", three,
                        m["BM_FullRepaintCairo"], three / m["BM_FullRepaintCairo"]);
    }
    benchmark::Shutdown();
    return 0;
}
