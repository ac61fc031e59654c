// One drawn animation frame of the lock screen (375 x 812 points at scale 3: a full-screen
// wallpaper and the three waves in their 55-point strip) against a full repaint of the same scene,
// measured in the same run. The ratios are printed after the table.

#include "bench/support/LockScreenScene.h"
#include "bench/support/MedianReporter.h"
#include "platform/graphics/CairoCanvas.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

void BM_AnimationFrame(benchmark::State& state) {
    LockScreen scene;
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

// For scale: cairo stroking the three waves into the strip, and the waves' own state change alone.
void BM_CairoStrokeOfTheStrip(benchmark::State& state) {
    LockScreen scene;
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

BENCHMARK(BM_AnimationFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_FullRepaintCairo)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_FullRepaintOwn)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_CairoStrokeOfTheStrip)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_WaveStateOnly)->Unit(benchmark::kMicrosecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& m = reporter.medians;
    if (m.count("BM_AnimationFrame") && m.count("BM_FullRepaintCairo") && m.count("BM_FullRepaintOwn")) {
        double frame = m["BM_AnimationFrame"];
        std::printf("\nOne drawn frame: %.0f us CPU (median); target under 300 us: %s\n", frame,
                    frame < 300 ? "met" : "NOT met");
        std::printf(
            "Frame / full cairo repaint of the same scene: %.0f / %.0f us = %.3f (target at most 0.2: %s)\n",
            frame, m["BM_FullRepaintCairo"], frame / m["BM_FullRepaintCairo"],
            frame / m["BM_FullRepaintCairo"] <= 0.2 ? "met" : "NOT met");
        std::printf("Frame / full repaint with our own routines: %.0f / %.0f us = %.3f\n", frame,
                    m["BM_FullRepaintOwn"], frame / m["BM_FullRepaintOwn"]);
    }
    benchmark::Shutdown();
    return 0;
}
