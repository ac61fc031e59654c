// The lock-screen window as a person uses it, under a virtual display: an icon dragged down with
// the mouse launches its app through the passcode prompt, L locks again, and a window hidden and
// shown again is repainted. Pixels are read back from the screen.

#include "tests/support/ChildProcesses.h"
#include "tests/support/XDisplay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// 375 x 812 points at one window pixel a point, centred on the 1280 x 1024 screen.
constexpr int windowX = (1280 - 375) / 2, windowY = (1024 - 812) / 2;
// A point of plain wallpaper, away from the clock, the icons and the prompt's text.
constexpr int probeX = windowX + 12, probeY = windowY + 400;

struct Colour {
    int red, green, blue;
};

Colour colour(uint32_t pixel) {
    return {static_cast<int>(pixel >> 16 & 0xff), static_cast<int>(pixel >> 8 & 0xff),
            static_cast<int>(pixel & 0xff)};
}

int brightness(uint32_t pixel) {
    Colour c = colour(pixel);
    return c.red + c.green + c.blue;
}

struct LockScreenWindow {
    std::string folder;
    pid_t pid = -1;

    // `script`, when given, runs in the window as it opens.
    explicit LockScreenWindow(const XDisplay& display, const std::string& script = "") {
        char pattern[] = "/tmp/zorvi-window-XXXXXX";
        folder = ::mkdtemp(pattern);
        std::string create = std::string(ZV_ZORVI) + " device create --screen 375x812@2 --root " + folder +
                             "/device > /dev/null";
        EXPECT_EQ(std::system(create.c_str()), 0);
        std::string scriptPath = folder + "/script.txt";
        if (!script.empty())
            std::ofstream(scriptPath) << script;
        pid = ::fork();
        if (pid == 0) {
            ::setenv("DISPLAY", display.name().c_str(), 1);
            if (::chdir(folder.c_str()) != 0)
                ::_exit(126);
            ::freopen("/dev/null", "w", stdout);
            ::freopen("/dev/null", "w", stderr);
            if (script.empty())
                ::execl(ZV_SPRINGBOARD, "zv-springboard", "--root", (folder + "/device").c_str(),
                        static_cast<char*>(nullptr));
            else
                ::execl(ZV_SPRINGBOARD, "zv-springboard", "--root", (folder + "/device").c_str(), "--script",
                        scriptPath.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~LockScreenWindow() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        std::filesystem::remove_all(folder);
    }
};

} // namespace

TEST(LockScreenWindowTest, DragToLaunchPromptAppLockAgainAndRepaintAfterBeingHidden) {
    if (!XDisplay::available())
        GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
    XDisplay display;
    ASSERT_FALSE(display.name().empty()) << display.startError();
    LockScreenWindow window(display);
    auto lit = [](uint32_t p) { return brightness(p) > 150; };
    auto first = captureWhen(display, probeX, probeY, lit);
    ASSERT_TRUE(first.has_value()) << display.captureError();
    uint32_t wallpaper = first->at(probeX, probeY);
    ASSERT_TRUE(lit(wallpaper)) << "the lock screen shows its wallpaper";

    // Button 1's centre is at (67.5, 712) points; the finger takes it 100 points down and lets go.
    int x = windowX + 67, y = windowY + 712;
    display.xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " mousedown 1");
    for (int step = 1; step <= 10; ++step) {
        display.xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y + step * 10));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    display.xdotool("mouseup 1");
    auto prompt = captureWhen(display, probeX, probeY,
                              [&](uint32_t p) { return brightness(p) * 2 < brightness(wallpaper); });
    ASSERT_TRUE(prompt.has_value());
    EXPECT_LT(brightness(prompt->at(probeX, probeY)) * 2, brightness(wallpaper))
        << "the passcode prompt dims the lock screen";

    display.xdotool("key space");
    // The app's screen: a dark page with the app's green icon in the middle.
    int iconX = windowX + 150, iconY = windowY + 280; // inside the icon, beside its letter
    auto green = [](uint32_t p) {
        Colour c = colour(p);
        return c.green > 150 && c.red < 140 && c.blue < 140;
    };
    auto app = captureWhen(display, iconX, iconY, green);
    ASSERT_TRUE(app.has_value());
    EXPECT_TRUE(green(app->at(iconX, iconY))) << std::hex << app->at(iconX, iconY);
    EXPECT_LT(brightness(app->at(probeX, probeY)), 210) << "the app's dark page";

    display.xdotool("key l");
    auto locked = captureWhen(display, probeX, probeY, [&](uint32_t p) { return p == wallpaper; });
    ASSERT_TRUE(locked.has_value());
    EXPECT_EQ(locked->at(probeX, probeY), wallpaper) << "locked again";

    // Hidden and shown again, with nothing moving at that spot: repainted, not left black.
    display.xdotool("search --name Zorvi windowunmap --sync");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    display.xdotool("search --name Zorvi windowmap --sync");
    auto shown = captureWhen(display, probeX, probeY, [&](uint32_t p) { return p == wallpaper; });
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->at(probeX, probeY), wallpaper);
}

// With its waves held still by a finger on a button, the window has nothing to draw and sleeps; with
// them moving, it wakes for the refreshes that move them (every other one) and the display's answer
// to each picture sent, not for the refreshes in between.
TEST(LockScreenWindowTest, AWindowWhereNothingMovesSleeps) {
    if (!XDisplay::available())
        GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
    XDisplay display;
    ASSERT_FALSE(display.name().empty()) << display.startError();
    LockScreenWindow still(display, "pan 1 begin\npan 1 move 0 200\n");
    auto lit = [](uint32_t p) { return brightness(p) > 150; };
    ASSERT_TRUE(captureWhen(display, probeX, probeY, lit).has_value()) << display.captureError();
    EXPECT_LE(fewestRunsInASecond(still.pid), 5);
    LockScreenWindow moving(display);
    ASSERT_TRUE(captureWhen(display, probeX, probeY, lit).has_value()) << display.captureError();
    EXPECT_GE(meanRunsInASecond(moving.pid), 30) << "the waves' refreshes";
    long sleepsBefore = voluntarySleeps(moving.pid);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_LE(voluntarySleeps(moving.pid) - sleepsBefore, 3 * 75)
        << "30 refreshes and 30 pictures a second, with room for input and the display's events";
}

TEST(LockScreenWindowTest, HelpOverKeysADragByKeysAndAScreenshot) {
    if (!XDisplay::available())
        GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
    XDisplay display;
    ASSERT_FALSE(display.name().empty()) << display.startError();
    LockScreenWindow window(display);
    auto first = captureWhen(display, probeX, probeY, [](uint32_t p) { return brightness(p) > 150; });
    ASSERT_TRUE(first.has_value());
    uint32_t wallpaper = first->at(probeX, probeY);

    // ? shows the keys over a dimmed screen, and again hides them.
    display.xdotool("key question");
    auto help = captureWhen(display, probeX, probeY,
                            [&](uint32_t p) { return brightness(p) * 3 < brightness(wallpaper); });
    ASSERT_TRUE(help.has_value());
    EXPECT_LT(brightness(help->at(probeX, probeY)) * 3, brightness(wallpaper)) << "the help overlay";
    display.xdotool("key F1");
    auto back = captureWhen(display, probeX, probeY, [&](uint32_t p) { return p == wallpaper; });
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->at(probeX, probeY), wallpaper);

    // S: the screen in device pixels (2 a point) beside the window's program.
    display.xdotool("key s");
    std::string shot;
    for (int i = 0; i < 200 && shot.empty(); ++i) {
        for (const auto& entry : std::filesystem::directory_iterator(window.folder))
            if (entry.path().extension() == ".png")
                shot = entry.path().string();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_FALSE(shot.empty());
    std::ifstream png(shot, std::ios::binary);
    unsigned char header[24] = {};
    png.read(reinterpret_cast<char*>(header), sizeof header);
    int width = header[16] << 24 | header[17] << 16 | header[18] << 8 | header[19];
    int height = header[20] << 24 | header[21] << 16 | header[22] << 8 | header[23];
    EXPECT_EQ(width, 750);
    EXPECT_EQ(height, 1624);

    // 1, then Down ten times: icon 1 held 100 points lower; Return lets go past the line: the prompt.
    display.xdotool("key 1");
    for (int i = 0; i < 10; ++i)
        display.xdotool("key Down");
    display.xdotool("key Return");
    auto prompt = captureWhen(display, probeX, probeY,
                              [&](uint32_t p) { return brightness(p) * 2 < brightness(wallpaper); });
    ASSERT_TRUE(prompt.has_value());
    EXPECT_LT(brightness(prompt->at(probeX, probeY)) * 2, brightness(wallpaper))
        << "launched: the passcode prompt";

    // Nothing moves now, and the window sleeps; Ctrl-C still closes it at once, as its close button
    // does.
    ::kill(window.pid, SIGINT);
    int status = -1;
    pid_t ended = 0;
    for (int i = 0; i < 200 && ended == 0; ++i) {
        ended = ::waitpid(window.pid, &status, WNOHANG);
        if (ended == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(ended, window.pid) << "still running 10 s after Ctrl-C";
    window.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
