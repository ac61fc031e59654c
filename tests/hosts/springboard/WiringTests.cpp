// The lock-screen scene's wiring, read from the running lock screen: which wave gets which colour,
// amplitude, phase, direction and step (found in a snapshot's pixels by colour), how far each app
// button may be dragged, what a drag does on and around the launch line, that hidden quick actions
// stay hidden, and the order in which each system version's hooks are installed.

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ImageImport.h"
#include "platform/graphics/PNGEncoder.h"
#include "tests/hosts/springboard/SpringBoardRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

// The standard screen of these tests: 375 x 812 points at two pixels a point, strip 55 points high.
constexpr double screenWidth = 375, screenHeight = 812, scale = 2;
constexpr double stripTop = screenHeight - 55;

// The three waves of the lock screen, as a person sees them: sines of line width 2 whose
// wavelength is the screen's width.
struct Wave {
    double amplitude;
    double offsetX;
    double stepX;
    int direction;
};
constexpr std::array<Wave, 3> waves{{{20, 100, 3, 1}, {18, 90, 2, 0}, {22, 90, 2.5, 0}}};
constexpr double lineWidth = 2;

// The travel after `ticks` refreshes since the scene was built: every other refresh, starting with
// the first, moves a wave one step, in tenths of a point and wrapped at the wavelength.
double travel(const Wave& wave, int ticks) {
    double moveX = 0;
    for (int drawn = 0; drawn < (ticks + 1) / 2; ++drawn) {
        auto n = static_cast<int32_t>(moveX * 10 + wave.stepX * 10);
        auto m = static_cast<int32_t>(screenWidth * 10);
        moveX = static_cast<double>(static_cast<float>(n % m) / 10.0f);
    }
    return moveX;
}

// The curve's sample at x in its wave view: the centre line lies amplitude + line width down.
double sample(const Wave& wave, double x, double moveX) {
    double k = 6.283185307179586 / screenWidth;
    double u = wave.offsetX / k + x;
    u = wave.direction == 0 ? u + moveX : u - moveX;
    float theta = static_cast<float>(k * u);
    return static_cast<double>(std::sin(theta)) * wave.amplitude + wave.amplitude + lineWidth;
}

// Where the drawn line (straight between samples 10 points apart) crosses x, in screen points.
double lineY(const Wave& wave, double x, double moveX) {
    double left = std::floor(x / 10) * 10;
    double right = std::min(left + 10, screenWidth + lineWidth / 2);
    double a = sample(wave, left, moveX), b = sample(wave, right, moveX);
    return stripTop + a + (b - a) * (x - left) / (right - left);
}

struct Picture {
    Bitmap bitmap;
    // Component c (0 red, 1 green, 2 blue) of the device pixel at column x, row y.
    int at(int x, int y, int c) const { return static_cast<int>(bitmap.pixel(x, y) >> (16 - 8 * c) & 0xff); }
};

std::optional<Picture> readPicture(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto bitmap = ImageImport::decode(bytes);
    if (!bitmap)
        return std::nullopt;
    return Picture{std::move(*bitmap)};
}

// `zorvi COMMAND --root ROOT ARGUMENTS`, quietly.
std::string zorvi(const std::string& command, const std::string& root, const std::string& arguments) {
    return std::string(ZV_ZORVI) + " " + command + " --root " + root + " " + arguments + " > /dev/null";
}

void write(const std::string& root, const std::string& key, const std::string& typeAndValue) {
    std::string command = zorvi("defaults", root, "write com.vantrel.zorvi " + key + " " + typeAndValue);
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// A wallpaper of one colour with a black band along the bottom, under the whole wave strip.
void setWallpaper(const std::string& root, uint8_t red, uint8_t green, uint8_t blue, int blackRows) {
    auto bitmap =
        Bitmap::create(static_cast<int>(screenWidth * scale), static_cast<int>(screenHeight * scale));
    ASSERT_TRUE(bitmap.has_value());
    for (int y = 0; y < bitmap->height(); ++y)
        for (int x = 0; x < bitmap->width(); ++x)
            bitmap->setPixel(x, y,
                             y < bitmap->height() - blackRows ? premultiplied_pixel(red, green, blue, 255)
                                                              : premultiplied_pixel(0, 0, 0, 255));
    std::string path = root + "-wallpaper.png";
    ASSERT_TRUE(writePNGFile(*bitmap, path));
    std::string command = zorvi("wallpaper", root, "set " + path);
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The columns of the strip (device pixels) where wave `index` lies at least `apart` points from
// both other lines, so that only it can be there.
std::vector<int> columnsAlone(size_t index, const std::array<double, 3>& moves, double apart) {
    std::vector<int> columns;
    for (int column = 0; column < static_cast<int>(screenWidth * scale); ++column) {
        double x = (column + 0.5) / scale;
        double y = lineY(waves[index], x, moves[index]);
        bool alone = true;
        for (size_t other = 0; other < 3; ++other)
            if (other != index && std::abs(lineY(waves[other], x, moves[other]) - y) < apart)
                alone = false;
        if (alone)
            columns.push_back(column);
    }
    return columns;
}

// Over a black strip, the centre (in points) of the pixels of one pure component in the column:
// each pixel weighs its component; pixels where another component shows are left out.
std::optional<double> centreOf(const Picture& picture, int column, int component) {
    double sum = 0, weight = 0;
    for (int row = static_cast<int>(stripTop * scale); row < static_cast<int>(screenHeight * scale); ++row) {
        int value = picture.at(column, row, component);
        if (picture.at(column, row, (component + 1) % 3) > 8 ||
            picture.at(column, row, (component + 2) % 3) > 8)
            continue;
        sum += value * (row + 0.5);
        weight += value;
    }
    if (weight < 255)
        return std::nullopt;
    return sum / weight / scale;
}

} // namespace

// Custom colours: line1 strokes the first wave, line2 the second, line3 the third, opaque. Each
// line is found by its colour where it is the only line, at the place the wave's own amplitude,
// phase, direction and travel put it, once early and once after many steps.
TEST(Wiring, CustomColoursAndTheShapeAndTravelOfEachWave) {
    std::string root = devices().own("custom-colours", "14.4", "375x812@2");
    setWallpaper(root, 0, 0, 0, 0);
    write(root, "enablecustom", "-bool YES");
    write(root, "line1", "-string FF0000");
    write(root, "line2", "-string 00FF00");
    write(root, "line3", "-string 0000FF");
    std::string early = root + "-early.png", late = root + "-late.png";
    const int earlyTicks = 7, lateTicks = 7 + 40;
    Trace trace =
        run(root, "appear\ntick 7\nstate\nsnapshot " + early + "\ntick 40\nstate\nsnapshot " + late + "\n");
    ASSERT_EQ(trace.named("state").size(), 2u);

    const std::vector<double> colours[] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    const char* globals[] = {"color", "color2", "color3"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("wave " + std::to_string(i + 1));
        EXPECT_EQ(trace.state(0)["globals"][globals[i]].numbers(), colours[i]);
        EXPECT_EQ(trace.state(0)["waveViews"][i]["stroke"].numbers(), colours[i]);
        EXPECT_EQ(trace.state(0)["waveViews"][i]["moveX"].numbers(),
                  std::vector<double>{travel(waves[i], earlyTicks)});
        EXPECT_EQ(trace.state(1)["waveViews"][i]["moveX"].numbers(),
                  std::vector<double>{travel(waves[i], lateTicks)});
    }

    struct Shot {
        const std::string& path;
        int ticks;
    };
    for (const Shot& shot : {Shot{early, earlyTicks}, Shot{late, lateTicks}}) {
        auto picture = readPicture(shot.path);
        ASSERT_TRUE(picture.has_value()) << shot.path;
        ASSERT_EQ(picture->bitmap.width(), 750);
        std::array<double, 3> travelled{};
        for (size_t i = 0; i < 3; ++i)
            travelled[i] = travel(waves[i], shot.ticks);
        for (size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE("wave " + std::to_string(i + 1) + " after " + std::to_string(shot.ticks) +
                         " refreshes");
            std::vector<int> columns = columnsAlone(i, travelled, 4);
            ASSERT_GT(columns.size(), 150u) << "too few columns where the line is alone to tell anything";
            int misplaced = 0, brightest = 0;
            for (int column : columns) {
                double x = (column + 0.5) / scale;
                double expected = lineY(waves[i], x, travelled[i]);
                auto found = centreOf(*picture, column, static_cast<int>(i));
                if (!found || std::abs(*found - expected) > 0.25) {
                    if (++misplaced <= 3)
                        ADD_FAILURE() << "at x " << x << " the line should be at y " << expected << ", found "
                                      << (found ? std::to_string(*found) : "none of its colour");
                    continue;
                }
                for (int row = static_cast<int>((expected - 1.5) * scale); row <= (expected + 1.5) * scale;
                     ++row)
                    brightest = std::max(brightest, picture->at(column, row, static_cast<int>(i)));
            }
            EXPECT_EQ(misplaced, 0) << "of " << columns.size() << " columns";
            EXPECT_GE(brightest, 250) << "an opaque custom colour shows at full strength";
        }

        // Where two lines cross, the later wave view lies on top.
        const std::pair<size_t, size_t> pairs[] = {{0, 1}, {0, 2}, {1, 2}};
        for (auto [low, high] : pairs) {
            size_t third = 3 - low - high;
            int crossings = 0;
            for (int column = 0; column < picture->bitmap.width(); ++column) {
                double x = (column + 0.5) / scale;
                double yLow = lineY(waves[low], x, travelled[low]),
                       yHigh = lineY(waves[high], x, travelled[high]);
                if (std::abs(yLow - yHigh) > 0.2 ||
                    std::abs(lineY(waves[third], x, travelled[third]) - yLow) < 4)
                    continue;
                int row = static_cast<int>((yLow + yHigh) / 2 * scale);
                EXPECT_GE(picture->at(column, row, static_cast<int>(high)), 250) << "x " << x;
                EXPECT_LE(picture->at(column, row, static_cast<int>(low)), 8) << "x " << x;
                ++crossings;
            }
            EXPECT_GT(crossings, 0) << "waves " << low + 1 << " and " << high + 1 << " cross in this picture";
        }
    }
}

// Blending: the three lines take the wallpaper's average colour, which wins over custom colours,
// at opacity 1.0, 0.8 and 0.6 from the first wave to the third. Over the wallpaper's black band,
// each line's full-strength pixels are its colour times its opacity.
TEST(Wiring, BlendedColoursGoToTheWavesWithTheirOpacities) {
    std::string root = devices().own("blended-colours", "14.4", "375x812@2");
    const int blackRows = 120;
    setWallpaper(root, 200, 150, 100, blackRows);
    write(root, "enableblend", "-bool YES");
    write(root, "enablecustom", "-bool YES");
    write(root, "line1", "-string FF0000");
    write(root, "line2", "-string 00FF00");
    write(root, "line3", "-string 0000FF");
    std::string picturePath = root + "-blended.png";
    const int ticks = 7;
    Trace trace = run(root, "appear\ntick 7\nstate\nsnapshot " + picturePath + "\n");
    ASSERT_EQ(trace.named("state").size(), 1u);
    const JsonValue& state = trace.state(0);

    // The average of the wallpaper: its colour over all but the black rows.
    const double share = 1 - blackRows / (screenHeight * scale);
    const double mean[] = {200 * share, 150 * share, 100 * share};
    std::vector<double> average = state["globals"]["color"].numbers();
    ASSERT_EQ(average.size(), 4u);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(average[c] * 255, mean[c], 1) << "component " << c;
    const double opacity[] = {1.0, 0.8, 0.6};
    const char* globals[] = {"color", "color2", "color3"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("wave " + std::to_string(i + 1));
        std::vector<double> expected = {average[0], average[1], average[2], opacity[i]};
        EXPECT_EQ(state["globals"][globals[i]].numbers(), expected);
        EXPECT_EQ(state["waveViews"][i]["stroke"].numbers(), expected);
    }

    auto picture = readPicture(picturePath);
    ASSERT_TRUE(picture.has_value());
    std::array<double, 3> travelled{};
    for (size_t i = 0; i < 3; ++i)
        travelled[i] = travel(waves[i], ticks);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("wave " + std::to_string(i + 1));
        std::vector<int> columns = columnsAlone(i, travelled, 4);
        ASSERT_GT(columns.size(), 150u);
        int wrong = 0;
        for (int column : columns) {
            double y = lineY(waves[i], (column + 0.5) / scale, travelled[i]);
            // The line's strongest pixel near where it must be: fully covered by the stroke.
            int strongest[3] = {0, 0, 0};
            for (int row = static_cast<int>((y - 1.5) * scale); row <= (y + 1.5) * scale; ++row)
                for (int c = 0; c < 3; ++c)
                    strongest[c] = std::max(strongest[c], picture->at(column, row, c));
            for (int c = 0; c < 3; ++c) {
                double expected = average[c] * 255 * opacity[i];
                if (std::abs(strongest[c] - expected) > 1.5 && ++wrong <= 3)
                    ADD_FAILURE() << "at x " << (column + 0.5) / scale << " component " << c << " is "
                                  << strongest[c] << ", not " << expected;
            }
        }
        EXPECT_EQ(wrong, 0) << "of " << columns.size() << " columns";
    }
}

// Each button's centre is held one margin inside the controller's view, a margin of its own
// height: a half for buttons 1 and 2, a third for button 3, a quarter for button 4. Dragged far
// past each edge, the centre first overshoots by the one move, then the next update holds it at
// the margin, compared and kept in single precision. The tall buttons of a screen with LSTView on
// a height of 812.5 points give margins and bounds that single precision rounds.
TEST(Wiring, EachButtonIsHeldItsOwnMarginInsideEveryEdge) {
    double (*const margin[])(double height) = {
        [](double h) { return h * 0.5; }, [](double h) { return h * 0.5; }, [](double h) { return h / 3.0; },
        [](double h) { return h * 0.25; }};
    struct Screen {
        const char* profile;
        double height;
        bool lst;
    };
    for (const Screen& screen : {Screen{"375x812@2", 812, false}, Screen{"375x812.5@2", 812.5, true}}) {
        SCOPED_TRACE(std::string(screen.profile) + (screen.lst ? " with LSTView" : ""));
        const double buttonHeight = screen.lst ? 100 : 60;
        const double homeY = screen.lst ? screen.height - 185 : screen.height - 130;
        struct Push {
            double dx, dy;
        };
        const Push pushes[] = {{-1000, 0}, {1000, 0}, {0, -1000}, {0, 1000}};
        std::string script = "appear\n";
        for (int button = 1; button <= 4; ++button)
            for (const Push& push : pushes) {
                std::string b = std::to_string(button);
                script += "pan " + b + " begin\npan " + b + " move " + std::to_string(push.dx) + " " +
                          std::to_string(push.dy) + "\nstate\npan " + b + " move 0 0\nstate\npan " + b +
                          " cancel\nappear\n";
            }
        Trace trace =
            run(devices().get("14.4", screen.profile), script, screen.lst ? "--with-class LSTView" : "");
        ASSERT_EQ(trace.named("state").size(), 32u);
        size_t next = 0;
        for (int button = 1; button <= 4; ++button) {
            double h = buttonHeight;
            // Compared and kept as single-precision numbers; the far bounds formed in double.
            auto single = [](double value) { return static_cast<double>(static_cast<float>(value)); };
            double low = single(margin[button - 1](h));
            double right = single(screenWidth - low), bottom = single(screen.height - low);
            double homeX = screenWidth / 2 - 30 + (button - 1) * 80 - 120;
            const std::vector<double> expected[] = {
                frame(low - 30, homeY, 60, h), frame(right - 30, homeY, 60, h),
                frame(homeX, low - h / 2, 60, h), frame(homeX, bottom - h / 2, 60, h)};
            for (size_t p = 0; p < 4; ++p) {
                SCOPED_TRACE("button " + std::to_string(button) + " pushed " + std::to_string(pushes[p].dx) +
                             ", " + std::to_string(pushes[p].dy));
                const JsonValue& overshoot = trace.state(next++)["buttons"][button - 1];
                const JsonValue& held = trace.state(next++)["buttons"][button - 1];
                EXPECT_EQ(overshoot["frame"].numbers(),
                          frame(homeX + pushes[p].dx, homeY + pushes[p].dy, 60, h));
                EXPECT_EQ(held["frame"].numbers(), expected[p]);
            }
        }
    }
}

// On the standard screen the launch line lies at 750 and a button's centre starts at 712.
TEST(Wiring, ADragEndingExactlyOnTheLineNeitherLaunchesNorSpringsBackButReArmsTheTick) {
    Trace trace = run(standardDevice(),
                      // Button 2 goes below and is cancelled: the tick is used and the waves stop.
                      "appear\npan 2 begin\npan 2 move 0 100\npan 2 cancel\n"
                      // Button 1 ends with its centre on the line, 712 + 38 = 750.
                      "pan 1 begin\npan 1 move 0 38\npan 1 end\nwait 300\nstate\n"
                      // Only a drag's end re-arms the tick, and that one did.
                      "drag 3 0 100\nstate\n");
    ASSERT_EQ(trace.named("state").size(), 2u);
    const JsonValue& onTheLine = trace.state(0);
    EXPECT_EQ(onTheLine["globals"]["devicesensitivity"].number(), 750);
    EXPECT_EQ(onTheLine["buttons"][0]["frame"].numbers(), frame(37.5, 720, 60, 60)) << "no spring-back";
    EXPECT_EQ(onTheLine["buttons"][0]["drawnFrame"].numbers(), frame(37.5, 720, 60, 60));
    for (size_t i = 0; i < 3; ++i)
        EXPECT_FALSE(onTheLine["waveViews"][i]["running"].boolean()) << "the waves are not started again";
    EXPECT_TRUE(onTheLine["globals"]["openstring"].isNull());
    auto sounds = trace.named("sound");
    auto launches = trace.named("launch");
    ASSERT_EQ(launches.size(), 1u) << "only button 3's drag launches";
    EXPECT_EQ((*launches[0])["bundle"].string(), trace.state(1)["globals"]["app3"].string());
    EXPECT_EQ(trace.named("unlock").size(), 1u);
    ASSERT_EQ(sounds.size(), 2u) << "the drag after the one ending on the line ticks again";
    EXPECT_LT((*sounds[0])["t"].number(), onTheLine["t"].number());
    EXPECT_GT((*sounds[1])["t"].number(), onTheLine["t"].number());
}

TEST(Wiring, ADragBelowTheLineAndBackAboveTicksOnceKeepsTheWavesStillThenSpringsBack) {
    Trace trace = run(standardDevice(), "appear\nhint\npan 2 begin\npan 2 move 0 60\ntick\nstate\n"
                                        "pan 2 move 0 -60\ntick 4\nstate\npan 2 move 0 60\npan 2 move 0 -60\n"
                                        "tick 4\nstate\npan 2 end\nstate\nwait 300\nstate\n");
    ASSERT_EQ(trace.named("state").size(), 5u);
    const JsonValue& below = trace.state(0);
    const JsonValue& backAbove = trace.state(1);
    const JsonValue& belowAndBackAgain = trace.state(2);
    const JsonValue& ended = trace.state(3);
    const JsonValue& settled = trace.state(4);
    EXPECT_EQ(below["buttons"][1]["frame"].numbers(), frame(117.5, 742, 60, 60));
    EXPECT_EQ(backAbove["buttons"][1]["frame"].numbers(), frame(117.5, 682, 60, 60));
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("wave view " + std::to_string(i + 1));
        EXPECT_FALSE(below["waveViews"][i]["running"].boolean());
        EXPECT_FALSE(backAbove["waveViews"][i]["running"].boolean())
            << "nothing restarts them before the end";
        EXPECT_FALSE(belowAndBackAgain["waveViews"][i]["running"].boolean());
        EXPECT_EQ(belowAndBackAgain["waveViews"][i]["moveX"].numbers(),
                  below["waveViews"][i]["moveX"].numbers())
            << "still while the finger is down";
        EXPECT_TRUE(ended["waveViews"][i]["running"].boolean()) << "the spring-back starts them";
    }
    EXPECT_EQ(trace.named("sound").size(), 1u) << "one tick for the whole drag";
    EXPECT_TRUE(trace.named("launch").empty());
    EXPECT_TRUE(trace.named("unlock").empty());
    EXPECT_FALSE(below["hint"]["hidden"].boolean()) << "a hint made after the appearance shows";
    EXPECT_TRUE(ended["hint"]["hidden"].boolean()) << "the spring-back hides the hint";
    EXPECT_EQ(settled["buttons"][1]["frame"].numbers(), frame(117.5, 682, 60, 60));
    EXPECT_EQ(settled["buttons"][1]["drawnFrame"].numbers(), frame(117.5, 682, 60, 60));
}

// Once hidden, the quick actions stay hidden when the setting is turned off while the lock screen
// runs: the hook hides them and never shows them again.
TEST(Wiring, HiddenQuickActionsStayHiddenAfterTheSettingIsTurnedOff) {
    std::string root = devices().own("hidden-quick-actions", "14.4", "375x812@2");
    write(root, "hidequick", "-bool YES");
    // The setting is turned off by another process once the first layout has been seen (the
    // snapshot marks it), while the lock screen waits in real time.
    std::string marker = root + "-laid-out.png";
    std::string later = "(for i in $(seq 400); do [ -e " + marker + " ] && break; sleep 0.05; done; " +
                        zorvi("defaults", root, "write com.vantrel.zorvi hidequick -bool NO") + ") &";
    ASSERT_EQ(std::system(later.c_str()), 0);
    Trace trace =
        run(root, "quick-actions\nstate\nsnapshot " + marker + "\npause 3000\nquick-actions\nstate\n");
    ASSERT_EQ(trace.named("state").size(), 2u);
    EXPECT_TRUE(trace.state(0)["globals"]["hidequick"].boolean());
    EXPECT_TRUE(trace.state(0)["quickActions"]["hidden"].boolean());
    EXPECT_FALSE(trace.state(1)["globals"]["hidequick"].boolean()) << "the change arrived";
    EXPECT_TRUE(trace.state(1)["quickActions"]["hidden"].boolean()) << "and did not show them again";
    EXPECT_EQ(trace.state(1)["quickActions"]["insetY"].number(), 150);
}

namespace {

// "Class selector how" for each method of the lock-screen classes that the tweak installed as it
// loaded, in order (classes the platform defines meanwhile are left out).
std::vector<std::string> installedOnLockScreenClasses(const Trace& trace) {
    const std::string lockScreenClasses[] = {"CSCombinedListViewController",
                                             "SBDashBoardViewController",
                                             "CSQuickActionsView",
                                             "SBDashBoardQuickActionsView",
                                             "SBDashBoardBiometricUnlockController",
                                             "CSTeachableMomentsContainerView",
                                             "SBUICallToActionLabel"};
    std::vector<std::string> installed;
    auto events = trace.named("hooks");
    if (events.size() != 1) {
        ADD_FAILURE() << events.size() << " hooks events";
        return installed;
    }
    const JsonValue& list = (*events[0])["installed"];
    for (size_t i = 0; i < list.size(); ++i) {
        const JsonValue& change = list[i];
        std::string cls = change["class"].string();
        if (std::find(std::begin(lockScreenClasses), std::end(lockScreenClasses), cls) ==
            std::end(lockScreenClasses))
            continue;
        EXPECT_EQ(change["library"].string(), "Zorvi.dylib");
        EXPECT_FALSE(change["classMethod"].boolean());
        installed.push_back(cls + " " + change["selector"].string() + " " + change["how"].string());
    }
    return installed;
}

// The controller's part of a set: its own hooks, the four drag handlers and the tap action, and
// the twelve properties' getter and setter, each pair in the properties' order.
std::vector<std::string> controllerPart(const std::string& controller, bool authenticationToo) {
    std::vector<std::string> part = {controller + " viewDidLoad replaced"};
    for (const char* handler :
         {"dragButton:", "dragButton2:", "dragButton3:", "dragButton4:", "buttontapEvent"})
        part.push_back(controller + " " + handler + " added");
    part.push_back(controller + " viewDidAppear: replaced");
    if (authenticationToo)
        part.push_back(controller + " setAuthenticated: replaced");
    const char* properties[][2] = {{"window", "setWindow:"},
                                   {"icon", "setIcon:"},
                                   {"iconimage", "setIconimage:"},
                                   {"button", "setButton:"},
                                   {"button2", "setButton2:"},
                                   {"button3", "setButton3:"},
                                   {"button4", "setButton4:"},
                                   {"secondWaveViewBg", "setSecondWaveViewBg:"},
                                   {"secondWaveView", "setSecondWaveView:"},
                                   {"waveView", "setWaveView:"},
                                   {"waveView2", "setWaveView2:"},
                                   {"waveView3", "setWaveView3:"}};
    for (const auto& property : properties) {
        part.push_back(controller + " " + property[0] + " added");
        part.push_back(controller + " " + property[1] + " added");
    }
    return part;
}

} // namespace

TEST(Wiring, EachSystemVersionInstallsItsOwnSetInItsOrder) {
    std::vector<std::string> modern = controllerPart("CSCombinedListViewController", false);
    for (const char* hook :
         {"CSQuickActionsView _layoutQuickActionButtons replaced", "CSQuickActionsView _insetY replaced",
          "SBDashBoardBiometricUnlockController setAuthenticated: replaced",
          "CSTeachableMomentsContainerView initWithFrame: replaced"})
        modern.push_back(hook);
    std::vector<std::string> legacy = controllerPart("SBDashBoardViewController", true);
    for (const char* hook :
         {"SBDashBoardQuickActionsView _layoutQuickActionButtons replaced",
          "SBDashBoardQuickActionsView _insetY replaced", "SBUICallToActionLabel initWithFrame: replaced"})
        legacy.push_back(hook);

    EXPECT_EQ(installedOnLockScreenClasses(run(devices().get("13.0", "375x812@2"), "hooks\n")), modern);
    EXPECT_EQ(installedOnLockScreenClasses(run(standardDevice(), "hooks\n")), modern);
    EXPECT_EQ(installedOnLockScreenClasses(run(devices().get("12.4", "375x812@2"), "hooks\n")), legacy);
}
