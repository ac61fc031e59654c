#pragma once

#include "platform/graphics/Compositing.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/LayerRenderer.h"
#include "wave/UUWaveView.h"
#include "wave/WaveSet.h"

#include <vector>

inline constexpr double screenWidth = 375, screenHeight = 812, scale = 3, stripHeight = 55;
inline constexpr int pixelWidth = int(screenWidth * scale), pixelHeight = int(screenHeight * scale);

// A lock screen for benchmarks: a full-screen gradient wallpaper and wave views (three unless asked
// otherwise, each with one wave of the standard set in turn) in white in their strip, at 375 x 812
// points and scale 3, on the virtual clock.
struct LockScreen {
    Ref<UIView> root;
    std::vector<Ref<UUWaveView>> views;

    explicit LockScreen(size_t waveViews = 3) {
        RunLoop::main()->useVirtualClock();
        root = makeViewWithFrame<UIView>(CGRectMake(0, 0, screenWidth, screenHeight));
        Bitmap wallpaper = *Bitmap::create(pixelWidth, pixelHeight);
        for (int y = 0; y < pixelHeight; ++y)
            for (int x = 0; x < pixelWidth; ++x)
                wallpaper.setPixel(x, y,
                                   premultiplied_pixel(uint8_t(x * 255 / pixelWidth),
                                                       uint8_t(y * 255 / pixelHeight),
                                                       uint8_t(200 - x * 150 / pixelWidth), 255));
        root->layer()->setContents(CGImage::imageWithBitmap(std::move(wallpaper)).get());
        for (size_t i = 0; i < waveViews; ++i) {
            auto view = makeViewWithFrame<UUWaveView>(
                CGRectMake(0, screenHeight - stripHeight, screenWidth, stripHeight));
            view->addWaves(NSArray::arrayWithObjects({makeStandardWave(
                i % standardWaveSet.size(), screenWidth, strokeOnlyCreator({1, 1, 1, 1}))}));
            root->addSubview(view.get());
            views.push_back(view);
            view->start();
        }
    }
    ~LockScreen() {
        for (auto& view : views)
            view->stop();
    }
    // Two refreshes: every second one advances and redraws the waves.
    void nextDrawnFrame() { RunLoop::main()->tick(2); }
};
