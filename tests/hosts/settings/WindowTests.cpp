// The Settings window as a person uses it: under a virtual display, clicked and typed at with
// xdotool, its pixels read back from the screen.

#include "tests/hosts/settings/SettingsDevice.h"
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

void settle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
}

} // namespace

TEST_F(SettingsTest, TheWindowOpensTheBundleFlipsASwitchAndGoesBack) {
    if (!XDisplay::available())
        GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
    XDisplay display;
    ASSERT_FALSE(display.name().empty());
    pid_t app = ::fork();
    if (app == 0) {
        ::setenv("DISPLAY", display.name().c_str(), 1);
        ::freopen("/dev/null", "w", stdout);
        ::execl(ZV_SETTINGS, "zv-settings", "--root", root.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    settle();
    auto first = display.capture();
    ASSERT_TRUE(first.has_value());
    // The first page: a light bar, and the Zorvi row 22 points into the table.
    EXPECT_TRUE(near(first->at(windowX + 60, windowY + 20), 247, 247, 247)) << std::hex << first->at(windowX + 60, windowY + 20);
    display.xdotool("mousemove " + std::to_string(windowX + 100) + " " + std::to_string(windowY + 88 + 22 + 22) +
                    " click 1");
    settle();
    auto opened = display.capture();
    ASSERT_TRUE(opened.has_value());
    EXPECT_TRUE(near(opened->at(windowX + 250, windowY + 20), 142, 72, 209)) << "the purple bar";
    // The first switch row lies under the 150-point header.
    display.xdotool("mousemove " + std::to_string(windowX + 100) + " " + std::to_string(windowY + 88 + 150 + 22) +
                    " click 1");
    settle();
    auto flipped = display.capture();
    ASSERT_TRUE(flipped.has_value());
    EXPECT_TRUE(near(flipped->at(windowX + 375 - 16 - 40, windowY + 88 + 150 + 22), 140, 71, 209, 30))
        << "the switch is on, in the page's tint";
    display.xdotool("key Escape");
    settle();
    auto back = display.capture();
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(near(back->at(windowX + 60, windowY + 20), 247, 247, 247)) << "back on the first page";
    display.xdotool("key q");
    int status = -1;
    for (int i = 0; i < 50 && ::waitpid(app, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!WIFEXITED(status)) {
        ::kill(app, SIGKILL);
        ::waitpid(app, &status, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "Q closes the window";
    EXPECT_NE(defaults("read com.vantrel.zorvi enableblend").find("1"), std::string::npos);
}
