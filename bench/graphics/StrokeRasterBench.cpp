// One wave's stroke turned into coverage, as the renderer does it each frame for each wave: a sine
// across 1125 pixels with a 60-pixel amplitude, a point every 7.5 pixels, 6 pixels wide. Baseline in
// the same run: cairo stroking the same polyline into a surface of the strip's size.

#include "bench/support/MedianReporter.h"
#include "platform/graphics/CairoCanvas.h"
#include "platform/graphics/PolygonRasterizer.h"
#include "platform/graphics/StrokeOutliner.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

constexpr int stripWidth = 1125, stripHeight = 165;

std::vector<Polyline> wave(double phase) {
    Polyline line;
    for (double x = 0; x <= stripWidth; x += 7.5)
        line.points.push_back({x, 82.5 + 60 * std::sin(2 * std::numbers::pi * x / stripWidth + phase)});
    return {line};
}

void BM_OutlineAndCoverage(benchmark::State& state) {
    PolygonRasterizer rasterizer;
    CoverageMask mask;
    double phase = 0;
    int64_t pixels = 0;
    for (auto _ : state) {
        phase += 0.05;
        rasterizer.reset({0, 0, stripWidth, stripHeight});
        outlineStroke(wave(phase), StrokeStyle{6, LineCap::Butt, LineJoin::Miter, 10}, rasterizer);
        rasterizer.finish(FillRule::NonZero, mask);
        pixels += int64_t(mask.coverage().size());
    }
    state.counters["pixels"] = benchmark::Counter(double(pixels), benchmark::Counter::kAvgIterations);
}

void BM_FootprintOfTheCoverage(benchmark::State& state) {
    PolygonRasterizer rasterizer;
    CoverageMask mask;
    rasterizer.reset({0, 0, stripWidth, stripHeight});
    outlineStroke(wave(0.3), StrokeStyle{6, LineCap::Butt, LineJoin::Miter, 10}, rasterizer);
    rasterizer.finish(FillRule::NonZero, mask);
    for (auto _ : state)
        benchmark::DoNotOptimize(mask.footprint(32));
}

void BM_CairoStroke(benchmark::State& state) {
    Bitmap strip = *Bitmap::create(stripWidth, stripHeight);
    CairoCanvas canvas(strip);
    cairo_t* cr = canvas.context();
    double phase = 0;
    for (auto _ : state) {
        phase += 0.05;
        cairo_new_path(cr);
        std::vector<Polyline> lines = wave(phase);
        for (const CGPoint& p : lines[0].points)
            cairo_line_to(cr, p.x, p.y);
        cairo_set_source_rgba(cr, 1, 1, 1, 1);
        cairo_set_line_width(cr, 6);
        cairo_stroke(cr);
        cairo_surface_flush(canvas.surface());
    }
}

BENCHMARK(BM_OutlineAndCoverage)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_FootprintOfTheCoverage)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_CairoStroke)->Unit(benchmark::kMicrosecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    auto m = runBenchmarksForMedians(argc, argv);
    if (m.count("BM_OutlineAndCoverage") && m.count("BM_CairoStroke"))
        std::printf("\nOne wave's coverage / cairo stroking it: %.1f / %.1f us = %.3f\n",
                    m["BM_OutlineAndCoverage"], m["BM_CairoStroke"],
                    m["BM_OutlineAndCoverage"] / m["BM_CairoStroke"]);
    benchmark::Shutdown();
    return 0;
}
