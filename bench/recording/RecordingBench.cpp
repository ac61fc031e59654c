// The cost of recording the lock screen at 375 x 812 points, scale 3 (1125 x 2436 pixels): one drawn
// animation frame alone, and the same frame drawn and recorded (capture, conversion and encoding) in
// each format, measured in the same run. The recording's share of a core at 30 frames a second, and
// its cost as a ratio to drawing the frame, are printed after the table.

#include "bench/support/LockScreenScene.h"
#include "bench/support/MedianReporter.h"
#include "hosts/common/VideoFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

std::string scratchPath(const char* extension) {
    return (std::filesystem::temp_directory_path() /
            ("zorvi-recording-bench-" + std::to_string(::getpid()) + extension))
        .string();
}

void BM_DrawFrame(benchmark::State& state) {
    LockScreen scene;
    LayerRenderer renderer(pixelWidth, pixelHeight, scale);
    renderer.render(scene.root.get());
    for (auto _ : state) {
        scene.nextDrawnFrame();
        renderer.render(scene.root.get());
    }
}

void recordFrames(benchmark::State& state, const char* extension) {
    LockScreen scene;
    LayerRenderer renderer(pixelWidth, pixelHeight, scale);
    renderer.render(scene.root.get());
    std::string path = scratchPath(extension), error;
    auto file = VideoFile::create(path, pixelWidth, pixelHeight, 30, error);
    if (!file) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        scene.nextDrawnFrame();
        renderer.render(scene.root.get());
        if (!file->addFrame(renderer.bitmap(), error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    // Completing the file is part of the cost, spread over its frames.
    file->finish(error);
    state.counters["bytes/frame"] =
        benchmark::Counter(double(std::filesystem::file_size(path)), benchmark::Counter::kAvgIterations);
    std::filesystem::remove(path);
}

void BM_RecordFrameMP4(benchmark::State& state) {
    recordFrames(state, ".mp4");
}
void BM_RecordFrameWebP(benchmark::State& state) {
    recordFrames(state, ".webp");
}
void BM_RecordFrameAPNG(benchmark::State& state) {
    recordFrames(state, ".apng");
}
void BM_RecordFrameGIF(benchmark::State& state) {
    recordFrames(state, ".gif");
}

BENCHMARK(BM_DrawFrame)->Unit(benchmark::kMicrosecond)->Repetitions(3);
BENCHMARK(BM_RecordFrameMP4)->Unit(benchmark::kMicrosecond)->Iterations(150)->Repetitions(3);
BENCHMARK(BM_RecordFrameWebP)->Unit(benchmark::kMicrosecond)->Iterations(20)->Repetitions(3);
BENCHMARK(BM_RecordFrameAPNG)->Unit(benchmark::kMicrosecond)->Iterations(20)->Repetitions(3);
BENCHMARK(BM_RecordFrameGIF)->Unit(benchmark::kMicrosecond)->Iterations(20)->Repetitions(3);

} // namespace

int main(int argc, char** argv) {
    auto m = runBenchmarksForMedians(argc, argv);
    if (m.count("BM_DrawFrame")) {
        double draw = m["BM_DrawFrame"];
        std::printf("\nDrawing a frame: %.0f us CPU (median)\n", draw);
        for (const char* format : {"MP4", "WebP", "APNG", "GIF"}) {
            std::string name = std::string("BM_RecordFrame") + format;
            if (!m.count(name))
                continue;
            double recording = m[name] - draw;
            double share = recording * 30 / 1e6;
            std::printf(
                "Recording %-4s: %.0f us a frame = %.2f x drawing it; at 30 fps %.1f %% of a core%s\n",
                format, recording, recording / draw, share * 100,
                std::string(format) == "MP4"
                    ? (share < 0.25 ? " (target under 25 %: met)" : " (target under 25 %: NOT met)")
                    : "");
        }
    }
    benchmark::Shutdown();
    return 0;
}
