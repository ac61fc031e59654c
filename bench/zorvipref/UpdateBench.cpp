// The settings bundle's Update, as the person waits for it: from the reload notification's callback
// to the wallpaper header's first frame drawn with its new band and waves (the 1170 x 2532
// wallpaper read and decoded, averaged for blending, three wave views added and started, the
// header drawn). Baseline in the same run: reading and decoding the wallpaper alone.

#include "colour/LockBackground.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSNumber.h"
#include "platform/graphics/CPBitmap.h"
#include "platform/prefs/PSSpecifier.h"
#include "platform/prefs/PreferenceDomain.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/LayerRenderer.h"
#include "platform/ui/UIKit.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIView.h"
#include "runtime/Runtime.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>

namespace {

struct Bundle {
    std::string root;
    void* handle = nullptr;
    void (*reload)() = nullptr;
    Ref<UIView> header;
    std::unique_ptr<LayerRenderer> renderer;

    Bundle() {
        char pattern[] = "/tmp/zorvi-bench-XXXXXX";
        root = ::mkdtemp(pattern);
        std::filesystem::create_directories(root + "/var/mobile/Library/SpringBoard");
        std::filesystem::create_directories(root + "/var/mobile/Library/Preferences");
        DeviceRoot::setCurrent(root);
        // A gradient wallpaper the size of a 390 x 844 @3 screen.
        auto bitmap = Bitmap::create(1170, 2532);
        for (int y = 0; y < 2532; ++y)
            for (int x = 0; x < 1170; ++x)
                bitmap->setPixel(x, y,
                                 premultiplied_pixel(static_cast<uint8_t>(x * 255 / 1170),
                                                     static_cast<uint8_t>(y * 255 / 2532), 160, 255));
        std::vector<Bitmap> images;
        images.push_back(std::move(*bitmap));
        std::vector<uint8_t> bytes = CPBitmap::encode(images);
        std::ofstream(root + "/var/mobile/Library/SpringBoard/LockBackground.cpbitmap", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        PreferenceDomain::write("com.vantrel.zorvi", "enableblend", NSNumber::numberWithBool(true));
        RunLoop::main()->useVirtualClock();
        UIScreen::mainScreen()->configure({390, 844, 3, 60});
        UIKitRegisterClasses();
        handle = ::dlopen(ZV_BUNDLE, RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            std::abort();
        reload = reinterpret_cast<void (*)()>(::dlsym(handle, "reload"));
        Ref<NSObject> made = class_createInstance(objc_getClass("headercellorva"));
        Ref<PSSpecifier> group = PSSpecifier::preferenceSpecifierNamed("", nullptr, PSGroupCell);
        header = objc_cast<UIView>(msg_send<id>(made.get(), "initWithSpecifier:", group.get()));
        header->setFrame(CGRectMake(0, 0, 390, 150));
        renderer = std::make_unique<LayerRenderer>(1170, 450, 3);
        renderer->render(header.get());
    }
    ~Bundle() { std::filesystem::remove_all(root); }
};

Bundle& bundle() {
    static Bundle instance;
    return instance;
}

std::vector<double> updateSamples, decodeSamples;

void BM_UpdateToHeaderFrame(benchmark::State& state) {
    Bundle& b = bundle();
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        b.reload();
        b.renderer->render(b.header.get());
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        updateSamples.push_back(seconds);
        state.SetIterationTime(seconds);
        // What a reload stacked goes away again, so that every iteration draws the same header.
        state.PauseTiming();
        auto subviews = b.header->subviews();
        for (size_t i = 4; i < subviews.size(); ++i)
            subviews[i]->removeFromSuperview();
        b.renderer->render(b.header.get());
        state.ResumeTiming();
    }
}

void BM_BaselineDecodeWallpaper(benchmark::State& state) {
    bundle();
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        Ref<UIImage> image = loadLockBackgroundImage();
        benchmark::DoNotOptimize(image.get());
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        decodeSamples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
}

double median(std::vector<double> samples) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

} // namespace

BENCHMARK(BM_BaselineDecodeWallpaper)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_UpdateToHeaderFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double update = median(updateSamples) * 1000, decode = median(decodeSamples) * 1000;
    std::printf(
        "median: Update to the header's first frame %.1f ms, decoding the wallpaper %.1f ms, ratio %.2f\n",
        update, decode, decode > 0 ? update / decode : 0.0);
    return 0;
}
