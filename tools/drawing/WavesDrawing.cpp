// zorvi waves' drawing: the lock screen's three waves, drawn frame by frame, for a person to look at without a
// device: white lines on black in the 55-point strip across the screen, at the screen's scale, one
// frame per drawn frame (every second display refresh). Into a folder as PNG files, or into one
// recording when --out names a file ending in .mp4, .gif, .webp or .apng.

#include "hosts/common/CommandLine.h"
#include "hosts/common/Interruption.h"
#include "hosts/common/Recorder.h"
#include "hosts/common/VideoFormats.h"
#include "platform/foundation/DeviceProfile.h"
#include "platform/graphics/Compositing.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/LayerRenderer.h"
#include "platform/ui/UIScreen.h"
#include "tools/DrawingCommands.h"
#include "wave/UUWaveView.h"
#include "wave/WaveSet.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr double stripHeight = 55;

} // namespace

int zv_drawWaves(const CLI::App& command, const WavesOptions& options) {
    std::string error;
    ScreenProfile screen;
    if (!options.screen.empty())
        screen = *DeviceProfile::parseScreen(options.screen);
    int frames = options.frames;
    const std::string& out = options.out;
    std::error_code fsError;
    // A name with an extension is a recording; anything else (or an existing folder) a folder of PNGs.
    bool recording =
        !std::filesystem::is_directory(out, fsError) && std::filesystem::path(out).has_extension();
    if (recording && !videoFormatForPath(out))
        return CommandLine::usageError(command, "--out " + out + ": a recording's name must end in " +
                                                    videoFormatNames() +
                                                    " (or give a folder for PNG frames)");
    if (!recording) {
        std::filesystem::create_directories(out, fsError);
        if (!std::filesystem::is_directory(out, fsError)) {
            std::fprintf(stderr, "zorvi waves: cannot make the folder %s\n", out.c_str());
            return 1;
        }
    }

    UIScreen::mainScreen()->configure(screen);
    RunLoop::main()->useVirtualClock();
    double width = UIScreen::mainScreen()->bounds().size.width;
    double scale = UIScreen::mainScreen()->scale();
    Ref<UIView> strip = makeViewWithFrame<UIView>(CGRectMake(0, 0, width, stripHeight));
    std::vector<Ref<UUWaveView>> views;
    for (size_t i = 0; i < standardWaveSet.size(); ++i) {
        auto view = makeViewWithFrame<UUWaveView>(CGRectMake(0, 0, width, stripHeight));
        view->addWaves(
            NSArray::arrayWithObjects({makeStandardWave(i, width, strokeOnlyCreator({1, 1, 1, 1}))}));
        strip->addSubview(view.get());
        view->start();
        views.push_back(view);
    }
    int pixelWidth = static_cast<int>(std::lround(width * scale));
    int pixelHeight = static_cast<int>(std::lround(stripHeight * scale));
    LayerRenderer renderer(pixelWidth, pixelHeight, scale);
    std::unique_ptr<Recorder> recorder;
    std::optional<Interruption> interruption;
    if (recording) {
        // A frame every second refresh: 30 a second on a 60 Hz screen.
        int fps = std::max(1, static_cast<int>(std::lround(RunLoop::main()->refreshRate() / 2)));
        recorder = Recorder::start(out, pixelWidth, pixelHeight, fps, 0, error);
        if (!recorder) {
            std::fprintf(stderr, "zorvi waves: %s\n", error.c_str());
            return 1;
        }
        interruption.emplace();
    }
    for (int frame = 0; frame < frames; ++frame) {
        renderer.render(strip.get());
        if (recorder) {
            // Frame k of the recording is due at k / fps seconds; the recorder counts its own frames.
            if (!recorder->capture(renderer.bitmap(), recorder->nextDue(), error)) {
                std::fprintf(stderr, "zorvi waves: %s\n", error.c_str());
                return 1;
            }
            RunLoop::main()->tick(2);
            if (Interruption::requested())
                break;
            continue;
        }
        char file[32];
        std::snprintf(file, sizeof file, "/frame-%04d.png", frame);
        if (!renderer.writePNG(out + file, &error)) {
            std::fprintf(stderr, "zorvi waves: %s%s: %s\n", out.c_str(), file, error.c_str());
            return 1;
        }
        RunLoop::main()->tick(2);
    }
    for (auto& view : views)
        view->stop();
    if (recorder) {
        if (!recorder->finish(renderer.bitmap(), recorder->nextDue(), error)) {
            std::fprintf(stderr, "zorvi waves: %s\n", error.c_str());
            return 1;
        }
        std::printf("wrote %lld frames of %dx%d pixels to %s\n", static_cast<long long>(recorder->frames()),
                    pixelWidth, pixelHeight, out.c_str());
        return Interruption::requested() ? 130 : 0;
    }
    std::printf("wrote %d frame%s of %dx%d pixels to %s/\n", frames, frames == 1 ? "" : "s", pixelWidth,
                pixelHeight, out.c_str());
    return 0;
}
