// averageColor of a full-screen wallpaper against a plain copy of the same pixels in the same run:
// the average reads every byte once, so memory bandwidth is its floor and memcpy its yardstick.

#include "colour/AverageColor.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>

namespace {

constexpr int width = 1170, height = 2532;

Ref<UIImage> wallpaper() {
    static Ref<UIImage> image = [] {
        auto bitmap = *Bitmap::create(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                bitmap.setPixel(x, y, 0xFF000000u | static_cast<uint32_t>(x * 2654435761u ^ y * 40503u) >> 8);
        return UIImage::imageWithCGImage(CGImage::imageWithBitmap(std::move(bitmap)));
    }();
    return image;
}

void AverageColor(benchmark::State& state) {
    Ref<UIImage> image = wallpaper();
    for (auto _ : state)
        benchmark::DoNotOptimize(averageColor(image).get());
    state.SetBytesProcessed(state.iterations() * int64_t{width} * height * 4);
}

void Memcpy(benchmark::State& state) {
    const Bitmap& pixels = wallpaper()->cgImage()->bitmap();
    std::vector<uint8_t> copy(pixels.sizeInBytes(), 1);
    for (auto _ : state) {
        std::memcpy(copy.data(), pixels.data(), pixels.sizeInBytes());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{width} * height * 4);
}

BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(AverageColor)->Unit(benchmark::kMillisecond)->MinTime(0.5);

// Prints as usual and remembers each benchmark's time per iteration for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                seconds[run.run_name.function_name] = run.real_accumulated_time / run.iterations;
    }
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.seconds.count("Memcpy") && reporter.seconds.count("AverageColor"))
        std::printf("averageColor / memcpy = %.2f (%.3f ms / %.3f ms, %dx%d pixels)\n",
                    reporter.seconds["AverageColor"] / reporter.seconds["Memcpy"],
                    reporter.seconds["AverageColor"] * 1e3, reporter.seconds["Memcpy"] * 1e3, width, height);
    benchmark::Shutdown();
    return 0;
}
