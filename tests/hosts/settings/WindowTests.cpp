// The Settings window as a person uses it: under a virtual display, clicked and typed at with
// xdotool, its pixels read back from the screen.

#include "platform/graphics/ImageImport.h"
#include "tests/hosts/settings/SettingsDevice.h"
#include "tests/support/VideoReader.h"
#include "tests/support/XDisplay.h"

#include <chrono>
#include <thread>

namespace {

// The window is centred on a 1280 x 1024 screen at one window pixel a point.
constexpr int windowX = (1280 - 375) / 2, windowY = (1024 - 812) / 2;

bool near(uint32_t pixel, int red, int green, int blue, int tolerance = 14) {
    return std::abs(static_cast<int>(pixel >> 16 & 0xff) - red) <= tolerance &&
           std::abs(static_cast<int>(pixel >> 8 & 0xff) - green) <= tolerance &&
           std::abs(static_cast<int>(pixel & 0xff) - blue) <= tolerance;
}

// The Settings window's process, ended and reaped however the test ends.
struct WindowProcess {
    pid_t pid = -1;
    WindowProcess(const XDisplay& display, const std::string& root, const std::string& folder = "") {
        pid = ::fork();
        if (pid == 0) {
            ::setenv("DISPLAY", display.name().c_str(), 1);
            if (!folder.empty() && ::chdir(folder.c_str()) != 0)
                ::_exit(126);
            ::freopen("/dev/null", "w", stdout);
            ::freopen("/dev/null", "w", stderr);
            ::execl(ZV_SETTINGS, "zv-settings", "--root", root.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~WindowProcess() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // Waits up to 20 s (a loaded machine) for it to exit by itself; answers its exit status, or -1.
    int exitStatus() {
        int status = 0;
        for (int i = 0; i < 200; ++i) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return -1;
    }
};

} // namespace

TEST_F(SettingsTest, TheWindowOpensTheBundleFlipsASwitchAndGoesBack) {
    if (!XDisplay::available())
        GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
    XDisplay display;
    ASSERT_FALSE(display.name().empty()) << display.startError();
    WindowProcess app(display, root);
    auto light = [](uint32_t p) { return near(p, 247, 247, 247); };
    auto purpleBar = [](uint32_t p) { return near(p, 142, 72, 209); };
    // The first page: a light bar, and the Zorvi row 22 points under its 52-point large title.
    auto first = captureWhen(display, windowX + 60, windowY + 20, light);
    ASSERT_TRUE(first.has_value()) << display.captureError();
    EXPECT_TRUE(light(first->at(windowX + 60, windowY + 20)))
        << std::hex << first->at(windowX + 60, windowY + 20);
    display.xdotool("mousemove " + std::to_string(windowX + 100) + " " +
                    std::to_string(windowY + 88 + 52 + 22 + 22) + " click 1");
    auto opened = captureWhen(display, windowX + 250, windowY + 20, purpleBar);
    ASSERT_TRUE(opened.has_value());
    EXPECT_TRUE(purpleBar(opened->at(windowX + 250, windowY + 20))) << "the purple bar";
    // The first switch row lies under the 150-point header; on, it takes the page's tint.
    int switchX = windowX + 375 - 16 - 40, switchY = windowY + 88 + 150 + 22;
    auto switchOn = [](uint32_t p) { return near(p, 140, 71, 209, 30); };
    display.xdotool("mousemove " + std::to_string(windowX + 100) + " " + std::to_string(switchY) +
                    " click 1");
    auto flipped = captureWhen(display, switchX, switchY, switchOn);
    ASSERT_TRUE(flipped.has_value());
    EXPECT_TRUE(switchOn(flipped->at(switchX, switchY))) << "the switch is on, in the page's tint";
    display.xdotool("key Escape");
    auto back = captureWhen(display, windowX + 60, windowY + 20, light);
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(light(back->at(windowX + 60, windowY + 20))) << "back on the first page";
    display.xdotool("key q");
    EXPECT_EQ(app.exitStatus(), 0) << "Q closes the window";
    EXPECT_NE(defaults("read com.vantrel.zorvi enableblend").find("1"), std::string::npos);
}

TEST_F(SettingsTest, TheWindowScrollsWithTheWheelAndShowsWhatAScriptedScrollShows) {
    if (!XDisplay::available())
        GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
    // A long page: the product's root page with more rows than the screen holds.
    write("/Library/PreferenceBundles/zorvipref.bundle/Root.plist", [] {
        std::string rows;
        for (int i = 1; i <= 30; ++i)
            rows += "{ cell = PSStaticTextCell; label = \"Row " + std::to_string(i) + "\"; },";
        return "{ items = ( { cell = PSGroupCell; label = Rows; }, " + rows + " ); }";
    }());
    std::string expected = scratch("expected.png");
    settings("open Zorvi\nscroll 200\nsnapshot " + expected + "\n");

    XDisplay display;
    ASSERT_FALSE(display.name().empty()) << display.startError();
    WindowProcess app(display, root);
    auto light = [](uint32_t p) { return near(p, 247, 247, 247); };
    ASSERT_TRUE(captureWhen(display, windowX + 60, windowY + 20, light).has_value())
        << display.captureError();
    display.xdotool("mousemove " + std::to_string(windowX + 100) + " " +
                    std::to_string(windowY + 88 + 52 + 22 + 22) + " click 1");
    auto purpleBar = [](uint32_t p) { return near(p, 142, 72, 209); };
    auto opened = captureWhen(display, windowX + 250, windowY + 20, purpleBar);
    ASSERT_TRUE(opened.has_value()) << display.captureError();
    ASSERT_TRUE(purpleBar(opened->at(windowX + 250, windowY + 20))) << "the bundle's page is shown";
    // Five turns of the wheel, 40 points each.
    display.xdotool("mousemove " + std::to_string(windowX + 187) + " " + std::to_string(windowY + 400) +
                    " click 5 click 5 click 5 click 5 click 5");
    std::ifstream file(expected, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto picture = ImageImport::decode(bytes);
    ASSERT_TRUE(picture.has_value());
    // The window draws the page at its own pixels, one a point: a window pixel is about the mean of the
    // 3 x 3 device pixels it covers, and an edge may lie up to half a pixel from where the device's
    // picture puts it. Compare the table below the bar, until the window has caught up with the wheel:
    // on the whole, and each pixel with the nearest match among its own and its neighbours' means.
    int64_t total = 0, count = 0, worst = 0;
    auto meanAt = [&](int x, int y, int channel) {
        int sum = 0;
        for (int v = 0; v < 3; ++v)
            for (int u = 0; u < 3; ++u)
                sum += picture->pixel(x * 3 + u, y * 3 + v) >> (16 - 8 * channel) & 0xff;
        return sum / 9;
    };
    auto compare = [&](const XDisplay::Picture& shown) {
        total = count = worst = 0;
        for (int y = 100; y < 800; y += 3)
            for (int x = 0; x < 375; x += 2) {
                uint32_t w = shown.at(windowX + x, windowY + y);
                for (int c = 0; c < 3; ++c) {
                    int channel = static_cast<int>(w >> (16 - 8 * c) & 0xff);
                    total += std::abs(channel - meanAt(x, y, c));
                    ++count;
                    int nearest = 255;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            if (x + dx >= 0 && x + dx < 375)
                                nearest = std::min(nearest, std::abs(channel - meanAt(x + dx, y + dy, c)));
                    worst = std::max<int64_t>(worst, nearest);
                }
            }
        return static_cast<double>(total) / count < 2.0;
    };
    for (int i = 0; i < 40; ++i) {
        auto shown = display.capture();
        if (shown && compare(*shown))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    EXPECT_LT(static_cast<double>(total) / count, 2.0) << "the window shows the page scrolled by 200 points";
    // A glyph's stem a pixel wide, half a pixel away, shows at half strength over two pixels: up to
    // about 128 from every neighbour. Anything missing or misplaced by more shows far beyond.
    EXPECT_LE(worst, 100);
    display.xdotool("key q");
    EXPECT_EQ(app.exitStatus(), 0);
}

TEST_F(SettingsTest, RInTheWindowRecordsWhatItShowsAndTheTitleSaysWhere) {
    if (!XDisplay::available())
        GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
    XDisplay display;
    ASSERT_FALSE(display.name().empty()) << display.startError();
    std::string folder = root + "-recordings";
    std::filesystem::create_directory(folder);
    WindowProcess app(display, root, folder);
    auto light = [](uint32_t p) { return near(p, 247, 247, 247); };
    ASSERT_TRUE(captureWhen(display, windowX + 60, windowY + 20, light).has_value());
    auto titled = [&](const std::string& pattern) {
        for (int i = 0; i < 200; ++i) {
            if (display.xdotool("search --name '" + pattern + "'") == 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };
    display.xdotool("key r");
    EXPECT_TRUE(titled("recording to zorvi-settings-.*[.]mp4"));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    display.xdotool("key r");
    EXPECT_TRUE(titled("recorded [0-9]+ frames to zorvi-settings-"));
    std::vector<std::string> recordings;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        recordings.push_back(entry.path().string());
    ASSERT_EQ(recordings.size(), 1u);
    DecodedVideo video = readVideo(recordings[0]);
    ASSERT_EQ(video.error, "");
    EXPECT_GE(video.frames.size(), 25u) << "a second or more at 30 frames a second";
    EXPECT_EQ(video.width, 1126) << "the screen in device pixels (1125, made even)";
    EXPECT_EQ(video.height, 2436);
    auto bar = video.rgb(0, 180, 60);
    EXPECT_TRUE(near(static_cast<uint32_t>(bar[0] << 16 | bar[1] << 8 | bar[2]), 247, 247, 247))
        << "the light bar, as the window shows it";
    display.xdotool("key q");
    EXPECT_EQ(app.exitStatus(), 0);
}
