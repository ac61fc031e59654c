// Ten seconds of the real lock screen recorded: the lock-screen host started in this process on a
// default device (1125 x 2436 pixels), 300 frames at 30 a second as `zorvi record` writes them, in
// each format. Reports the wall time of drawing and recording them, the file's size and, for GIF,
// the mean colour error of what a player shows against the frames it was made from (every 30th
// frame, decoded with ffmpeg). Baselines in the same run, through the encoder as it was before:
// ffmpeg's GIF with a palette made for each frame, and ffmpeg's APNG encoder (once each: the GIF
// takes about a minute).

#include "bench/recording/FrameReader.h"
#include "bench/support/InProcessLockScreen.h"
#include "bench/support/MedianReporter.h"
#include "bench/support/Processes.h"
#include "hosts/common/FfmpegVideoFile.h"
#include "hosts/common/VideoFormats.h"
#include "platform/runloop/RunLoop.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <unistd.h>

namespace {

constexpr int fps = 30;
constexpr int tenSeconds = 10 * fps;
constexpr int errorSampleEvery = fps;

struct Scene : bench::InProcessLockScreen {
    Scene() : InProcessLockScreen(ZV_ZORVI) {}
    const Bitmap& draw() {
        host->renderer().render(host->screenView());
        return host->renderer().bitmap();
    }
    // Two refreshes of the display at 60 a second: the next frame of a recording at 30.
    void advance() { RunLoop::main()->tick(2); }
};

Scene& scene() {
    static Scene instance;
    return instance;
}

struct Result {
    double seconds;
    double bytes;
    double error; // mean over channels of |shown - source|, or -1
};
std::map<std::string, std::vector<Result>> results;

using Opener = std::function<std::unique_ptr<VideoFile>(const std::string& path, int width, int height,
                                                        std::string& error)>;

std::unique_ptr<VideoFile> openCurrent(const std::string& path, int width, int height, std::string& error) {
    return VideoFile::create(path, width, height, fps, error);
}

// The format must outlive the file (the encoder keeps a reference to it).
Opener openBaseline(const VideoFormat& format) {
    return [&format](const std::string& path, int width, int height, std::string& error) {
        auto output = OutputFile::create(path, error);
        return output ? FfmpegVideoFile::open(std::move(*output), format, width, height, fps, error)
                      : nullptr;
    };
}

double meanError(const std::string& path, const std::map<int64_t, std::vector<uint32_t>>& sources) {
    uint64_t total = 0, channels = 0;
    bool decoded = readFrames(path, [&](int64_t index, const std::vector<uint32_t>& shown, int) {
        auto source = sources.find(index);
        if (source == sources.end() || source->second.size() != shown.size())
            return;
        for (size_t i = 0; i < shown.size(); ++i)
            for (int shift = 0; shift <= 16; shift += 8)
                total +=
                    static_cast<uint64_t>(std::abs(static_cast<int>((shown[i] >> shift) & 0xff) -
                                                   static_cast<int>((source->second[i] >> shift) & 0xff)));
        channels += shown.size() * 3;
    });
    return decoded && channels > 0 ? static_cast<double>(total) / static_cast<double>(channels) : -1;
}

void record(benchmark::State& state, const std::string& name, const char* extension, const Opener& open,
            bool measureError) {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("zorvi-ten-seconds-" + std::to_string(::getpid()) + extension))
                           .string();
    for (auto _ : state) {
        std::map<int64_t, std::vector<uint32_t>> sources;
        std::string error;
        auto start = bench::Clock::now();
        const Bitmap* picture = &scene().draw();
        auto file = open(path, picture->width(), picture->height(), error);
        if (!file) {
            state.SkipWithError(error.c_str());
            return;
        }
        double kept = 0; // seconds spent keeping source frames, not part of the recording's cost
        for (int i = 0; i < tenSeconds; ++i) {
            if (i > 0) {
                scene().advance();
                picture = &scene().draw();
            }
            if (!file->addFrame(*picture, error)) {
                state.SkipWithError(error.c_str());
                return;
            }
            if (measureError && i % errorSampleEvery == 0) {
                auto copyStart = bench::Clock::now();
                auto& copy = sources[i];
                for (int y = 0; y < picture->height(); ++y)
                    copy.insert(copy.end(), picture->row(y), picture->row(y) + picture->width());
                kept += std::chrono::duration<double>(bench::Clock::now() - copyStart).count();
            }
        }
        if (!file->finish(error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        double seconds = std::chrono::duration<double>(bench::Clock::now() - start).count() - kept;
        state.SetIterationTime(seconds);
        Result result{seconds, static_cast<double>(std::filesystem::file_size(path)),
                      measureError ? meanError(path, sources) : -1};
        results[name].push_back(result);
        state.counters["MB/10s"] = result.bytes / 1e6;
        if (result.error >= 0)
            state.counters["mean error"] = result.error;
    }
    std::filesystem::remove(path);
}

const VideoFormat ffmpegGif{".gif", "gif", "gif", AV_PIX_FMT_PAL8, false};
const VideoFormat ffmpegApng{".apng", "apng", "apng", AV_PIX_FMT_RGB24, false};

void BM_TenSecondsGIF(benchmark::State& state) {
    record(state, "GIF", ".gif", openCurrent, true);
}
void BM_TenSecondsAPNG(benchmark::State& state) {
    record(state, "APNG", ".apng", openCurrent, false);
}
void BM_TenSecondsWebP(benchmark::State& state) {
    record(state, "WebP", ".webp", openCurrent, false);
}
void BM_TenSecondsMP4(benchmark::State& state) {
    record(state, "MP4", ".mp4", openCurrent, false);
}
void BM_BaselineGIFPalettePerFrame(benchmark::State& state) {
    record(state, "GIF before", ".gif", openBaseline(ffmpegGif), true);
}
void BM_BaselineAPNGFfmpeg(benchmark::State& state) {
    record(state, "APNG before", ".apng", openBaseline(ffmpegApng), false);
}

#define TEN_SECONDS(name)                                                                                    \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(3)
TEN_SECONDS(BM_TenSecondsGIF);
TEN_SECONDS(BM_TenSecondsAPNG);
TEN_SECONDS(BM_TenSecondsWebP);
TEN_SECONDS(BM_TenSecondsMP4);
BENCHMARK(BM_BaselineGIFPalettePerFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_BaselineAPNGFfmpeg)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

Result median(std::vector<Result> runs) {
    auto middle = [&](auto field) {
        std::vector<double> values;
        for (const Result& r : runs)
            values.push_back(r.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    return {middle(&Result::seconds), middle(&Result::bytes), middle(&Result::error)};
}

} // namespace

int main(int argc, char** argv) {
    runBenchmarksForMedians(argc, argv);
    std::printf("\nTen seconds of the lock screen at %d fps (medians of three; the baselines once):\n", fps);
    std::map<std::string, Result> m;
    for (auto& [name, runs] : results)
        m[name] = median(runs);
    for (auto& [name, r] : m)
        std::printf("  %-12s %6.2f s  %7.2f MB%s\n", name.c_str(), r.seconds, r.bytes / 1e6,
                    r.error >= 0 ? (", mean colour error " + std::to_string(r.error).substr(0, 4)).c_str()
                                 : "");
    auto compare = [&](const char* now, const char* before, double seconds, double megabytes) {
        if (!m.count(now) || !m.count(before))
            return;
        const Result &a = m[now], &b = m[before];
        std::printf("%s: %.1f x faster, %.1f x smaller than before; target %.0f s and %.0f MB: %s\n", now,
                    b.seconds / a.seconds, b.bytes / a.bytes, seconds, megabytes,
                    a.seconds <= seconds && a.bytes <= megabytes * 1e6 ? "met" : "NOT met");
    };
    compare("GIF", "GIF before", 10, 5);
    compare("APNG", "APNG before", 5, 5);
    benchmark::Shutdown();
    return 0;
}
