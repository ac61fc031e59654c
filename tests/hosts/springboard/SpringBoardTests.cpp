// The lock-screen process run for real, with the product installed on a device made by
// `zorvi device create`, driven by scripts; the checks read its trace and snapshots.

#include "platform/graphics/ImageImport.h"
#include "tests/hosts/springboard/SpringBoardRun.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

TEST(SpringBoard, LaunchLineStripAndHomeFramesFollowTheScreenAndLSTView) {
    struct Case {
        const char* height;
        double points;
        int without, with;
    };
    const Case cases[] = {{"812", 812, 750, 710},
                          {"812.5", 812.5, 830, 790},
                          {"700", 700, 620, 580},
                          {"700.5", 700.5, 680, 640}};
    for (const auto& c : cases) {
        const std::string& root = devices().get("14.4", std::string("375x") + c.height + "@2");
        for (bool lst : {false, true}) {
            Trace trace = run(root, "appear\nstate\n", lst ? "--with-class LSTView" : "");
            ASSERT_EQ(trace.named("state").size(), 1u) << c.height;
            const JsonValue& state = trace.state(0);
            SCOPED_TRACE(std::string("height ") + c.height + (lst ? " with LSTView" : ""));
            EXPECT_EQ(state["globals"]["devicesensitivity"].number(), lst ? c.with : c.without);
            double h = c.points;
            for (size_t i = 0; i < 3; ++i) {
                EXPECT_EQ(state["waveViews"][i]["frame"].numbers(),
                          lst ? frame(0, h - 95, 375, 95) : frame(0, h - 55, 375, 55));
                EXPECT_TRUE(state["waveViews"][i]["running"].boolean());
            }
            const double dx[] = {-120, -40, 40, 120};
            for (size_t i = 0; i < 4; ++i) {
                EXPECT_EQ(state["buttons"][i]["frame"].numbers(),
                          lst ? frame(157.5 + dx[i], h - 185, 60, 100)
                              : frame(157.5 + dx[i], h - 130, 60, 60));
                EXPECT_TRUE(state["buttons"][i]["hasImage"].boolean());
            }
        }
    }
}

TEST(SpringBoard, ADragAboveTheLineSpringsBackInAFifthOfASecondAndRestartsTheWaves) {
    Trace trace =
        run(standardDevice(), "appear\nhint\ndrag 1 0 30 3\nstate\nwait 100\nstate\nwait 120\nstate\n");
    EXPECT_TRUE(trace.named("sound").empty());
    EXPECT_TRUE(trace.named("launch").empty());
    // The frame is home at once; what is drawn starts where the finger left it and eases home.
    EXPECT_EQ(trace.state(0)["buttons"][0]["frame"].numbers(), frame(37.5, 682, 60, 60));
    double endY = trace.state(0)["buttons"][0]["drawnFrame"][1].number();
    double midY = trace.state(1)["buttons"][0]["drawnFrame"][1].number();
    EXPECT_EQ(endY, 682 + 30) << "drawn where the finger left it when the spring-back starts";
    EXPECT_GT(midY, 682);
    EXPECT_LT(midY, 712) << "half-way through the animation";
    EXPECT_EQ(trace.state(2)["buttons"][0]["frame"].numbers(), frame(37.5, 682, 60, 60));
    EXPECT_EQ(trace.state(2)["buttons"][0]["drawnFrame"].numbers(), frame(37.5, 682, 60, 60));
    EXPECT_TRUE(trace.state(2)["hint"]["hidden"].boolean());
    for (size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(trace.state(2)["waveViews"][i]["running"].boolean());
}

TEST(SpringBoard, ADragDuringTheSpringBackKeepsTheFinger) {
    // The button springs back; the finger takes it again at once and holds it 100 points up.
    Trace trace =
        run(standardDevice(),
            "appear\ndrag 1 0 30 1\npan 1 begin\npan 1 move 0 -100\nstate\ntick\nstate\nwait 300\nstate\n");
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(trace.state(i)["buttons"][0]["frame"].numbers(), frame(37.5, 582, 60, 60));
        EXPECT_EQ(trace.state(i)["buttons"][0]["drawnFrame"].numbers(), frame(37.5, 582, 60, 60))
            << "the spring-back ended where the new drag took over";
    }
}

TEST(SpringBoard, ADragBelowTheLineTicksOnceStopsTheWavesThenLaunchesAndUnlocks) {
    Trace trace =
        run(standardDevice(), "appear\nhint\npan 3 begin\npan 3 move 0 100\ntick\npan 3 move 0 5\ntick 60\n"
                              "pan 3 move 0 -2\nstate\npan 3 end\nwait 300\nstate\n");
    ASSERT_EQ(trace.named("sound").size(), 1u) << "one tick however long the finger stays below";
    EXPECT_EQ((*trace.named("sound")[0])["id"].number(), 1520);
    const JsonValue& dragging = trace.state(0);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_FALSE(dragging["waveViews"][i]["running"].boolean());
    auto launches = trace.named("launch");
    auto unlocks = trace.named("unlock");
    ASSERT_EQ(launches.size(), 1u);
    ASSERT_EQ(unlocks.size(), 1u);
    EXPECT_EQ((*launches[0])["bundle"].string(), "com.apple.mobilesafari");
    EXPECT_FALSE((*launches[0])["suspended"].boolean());
    EXPECT_EQ((*unlocks[0])["source"].number(), 17);
    EXPECT_TRUE((*unlocks[0])["options"].isNull());
    const JsonValue& after = trace.state(1);
    EXPECT_EQ(after["globals"]["openstring"].string(), "com.apple.mobilesafari");
    EXPECT_FALSE(after["hint"]["hidden"].boolean()) << "the hint shows while the unlock is under way";
    // The centre is held 20 points (a third of the height) inside the view before each move is
    // added: 712 + 100 = 812, then 792 + 5, then 792 - 2 = 790, which the end keeps.
    EXPECT_EQ(after["buttons"][2]["frame"][1].number(), 790 - 30) << "no spring-back after a launch";
    for (size_t i = 0; i < 3; ++i)
        EXPECT_FALSE(after["waveViews"][i]["running"].boolean());
}

TEST(SpringBoard, AuthenticationLaunchesThePendingAppOneSecondLater) {
    Trace trace =
        run(standardDevice(), "appear\ndrag 2 0 200\nauthenticate yes\nwait 999\nstate\nwait 2\nstate\n");
    auto launches = trace.named("launch");
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ((*launches[1])["bundle"].string(), "com.apple.MobileSMS");
    EXPECT_NEAR((*launches[1])["t"].number() - trace.state(0)["t"].number(), 1, 1e-6)
        << "the delayed launch falls exactly one second after the authentication";
    EXPECT_EQ(trace.state(0)["globals"]["openstring"].string(), "com.apple.MobileSMS");
    EXPECT_TRUE(trace.state(1)["globals"]["openstring"].isNull());
    EXPECT_EQ(trace.state(1)["foreground"].string(), "com.apple.MobileSMS");
}

TEST(SpringBoard, TwoAuthenticationsInsideASecondLaunchTheAppOnceThenNothing) {
    Trace trace = run(standardDevice(), "appear\ndrag 4 0 200\nauthenticate yes\nwait 400\nauthenticate yes\n"
                                        "wait 1200\nstate\nauthenticate no\nwait 1200\n");
    auto launches = trace.named("launch");
    ASSERT_EQ(launches.size(), 3u) << "the drag's launch and one per YES; NO schedules nothing";
    EXPECT_EQ((*launches[1])["bundle"].string(), "com.apple.camera");
    EXPECT_TRUE((*launches[2])["bundle"].isNull()) << "the second finds no pending app";
    EXPECT_FALSE((*launches[2])["accepted"].boolean()) << "a launch naming no app is refused";
    EXPECT_TRUE(trace.state(0)["globals"]["openstring"].isNull());
}

TEST(SpringBoard, ACancelledDragKeepsTheTickUsedUntilADragEnds) {
    Trace trace = run(standardDevice(), "appear\npan 1 begin\npan 1 move 0 100\npan 1 cancel\n"
                                        "drag 1 0 100\nappear\ndrag 1 0 100\n");
    auto sounds = trace.named("sound");
    ASSERT_EQ(sounds.size(), 2u);
    auto launches = trace.named("launch");
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_LT((*sounds[0])["t"].number(), (*launches[0])["t"].number());
    EXPECT_GT((*sounds[1])["t"].number(), (*launches[0])["t"].number())
        << "the second drag plays no tick: the cancelled one had used it";
}

TEST(SpringBoard, HideQuickHidesTheQuickActionsAndTheInsetStaysFixed) {
    std::string hidden = devices().get("14.4", "375x667@2");
    std::string write =
        std::string(ZV_ZORVI) + " defaults --root " + hidden + " write com.vantrel.zorvi hidequick -bool YES";
    ASSERT_EQ(std::system(write.c_str()), 0);
    Trace on = run(hidden, "quick-actions\nstate\n");
    EXPECT_TRUE(on.state(0)["quickActions"]["hidden"].boolean());
    EXPECT_EQ(on.state(0)["quickActions"]["insetY"].number(), 150);
    EXPECT_TRUE(on.state(0)["globals"]["hidequick"].boolean());
    Trace off = run(standardDevice(), "quick-actions\nstate\n");
    EXPECT_FALSE(off.state(0)["quickActions"]["hidden"].boolean());
    EXPECT_EQ(off.state(0)["quickActions"]["insetY"].number(), 150);
}

TEST(SpringBoard, TheNewestHintViewIsTheOneShownAndHidden) {
    Trace trace = run(standardDevice(), "state\nhint\nhint\nappear\nstate\nhint\nstate\n");
    EXPECT_TRUE(trace.state(0)["hint"].isNull());
    EXPECT_TRUE(trace.state(1)["hint"]["hidden"].boolean());
    EXPECT_FALSE(trace.state(2)["hint"]["hidden"].boolean())
        << "a hint made after the appearance stays visible";
}

TEST(SpringBoard, BothSystemVersionsBuildTheSceneAndLaunchAfterAuthentication) {
    for (const char* system : {"12.4", "14.4"}) {
        SCOPED_TRACE(system);
        Trace trace = run(devices().get(system, "375x812@2"),
                          "appear\ndrag 1 0 200\nauthenticate yes\nwait 1000\nstate\n");
        const JsonValue& state = trace.state(0);
        EXPECT_EQ(state["controller"].string(), std::string(system) == "12.4"
                                                    ? "SBDashBoardViewController"
                                                    : "CSCombinedListViewController");
        EXPECT_EQ(state["system"].string(), system);
        EXPECT_EQ(trace.named("launch").size(), 2u);
        EXPECT_EQ(trace.named("sound").size(), 1u);
    }
}

TEST(SpringBoard, BadScriptLinesAreReportedAndTheRunGoesOn) {
    Trace trace =
        run(standardDevice(), "frobnicate\npan 9 begin\ndrag 1 x y\nwait -5\ntick 99999999\npan 1 move 1\n"
                              "snapshot /proc/version/x.png\nstate\n");
    EXPECT_EQ(trace.named("error").size(), 7u);
    EXPECT_EQ(trace.named("state").size(), 1u);
}

TEST(SpringBoard, ASnapshotShowsTheWallpaperThreeLinesAlongTheBottomAndFourIcons) {
    const std::string& root = devices().get("14.4", "375x812@3");
    std::string picture = devices().scratch("snapshot.png");
    run(root, "appear\ntick 9\nsnapshot " + picture + "\n");
    std::ifstream file(picture, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto image = ImageImport::decode(bytes);
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(image->width(), 1125);
    ASSERT_EQ(image->height(), 2436);
    auto channel = [&](int x, int y, int shift) { return (image->pixel(x, y) >> shift) & 0xff; };
    auto white = [&](int x, int y) {
        return channel(x, y, 16) > 235 && channel(x, y, 8) > 235 && channel(x, y, 0) > 235;
    };

    // The wallpaper: a gradient, so distant points differ.
    int dr = std::abs(int(channel(60, 1200, 16)) - int(channel(1060, 1200, 16)));
    int db = std::abs(int(channel(60, 1200, 0)) - int(channel(1060, 1200, 0)));
    EXPECT_GT(dr + db, 60);

    // The lines: white only in the bottom 55 points, and three separate lines in most columns of
    // the left margin (clear of buttons and labels).
    int columnsWithThreeLines = 0;
    for (int x = 0; x < 90; ++x) {
        int runs = 0;
        bool inside = false;
        for (int y = 1400; y < 2436; ++y) {
            bool w = white(x, y);
            if (w && y < 757 * 3)
                ADD_FAILURE() << "white above the strip at " << x << "," << y;
            if (w && !inside)
                ++runs;
            inside = w;
        }
        if (runs >= 3)
            ++columnsWithThreeLines;
    }
    EXPECT_GT(columnsWithThreeLines, 30);

    // The four icons, centred 80 points apart on the row 100 points above the bottom: each shows its
    // app's colour (the icon's upper part), not the wallpaper.
    const double centres[] = {67.5, 147.5, 227.5, 307.5};
    for (double cx : centres) {
        int x = static_cast<int>(cx * 3), y = static_cast<int>((812 - 100 - 20) * 3);
        int r = channel(x, y, 16), g = channel(x, y, 8), b = channel(x, y, 0);
        int wr = channel(x, 1900, 16), wg = channel(x, 1900, 8), wb = channel(x, 1900, 0);
        EXPECT_GT(std::abs(r - wr) + std::abs(g - wg) + std::abs(b - wb), 40) << "no icon at x " << cx;
    }
    // Phone and Messages are green, Safari blue.
    EXPECT_GT(channel(202, 2076, 8), channel(202, 2076, 16) + 60);
    EXPECT_GT(channel(682, 2076, 0), channel(682, 2076, 16) + 60);
}

TEST(SpringBoard, ASettingChangedByAnotherProcessArrivesDuringAPause) {
    const std::string& root = devices().get("14.4", "375x812.5@2");
    std::string write =
        std::string(ZV_ZORVI) + " defaults --root " + root + " write com.vantrel.zorvi hidequick -bool ";
    ASSERT_EQ(std::system((write + "NO").c_str()), 0);
    // The writer runs once the first state has been written (the snapshot marks it), while the host
    // waits in real time; the virtual clock stands still meanwhile.
    std::string marker = root + "-first-state.png";
    std::filesystem::remove(marker);
    std::string later =
        "(for i in $(seq 400); do [ -e " + marker + " ] && break; sleep 0.05; done; " + write + "YES) &";
    ASSERT_EQ(std::system(later.c_str()), 0);
    Trace trace = run(root, "state\nsnapshot " + marker + "\npause 4000\nquick-actions\nstate\n");
    ASSERT_EQ(trace.named("state").size(), 2u);
    EXPECT_FALSE(trace.state(0)["globals"]["hidequick"].boolean());
    EXPECT_TRUE(trace.state(1)["globals"]["hidequick"].boolean());
    EXPECT_TRUE(trace.state(1)["quickActions"]["hidden"].boolean());
    EXPECT_EQ(trace.state(1)["t"].number(), trace.state(0)["t"].number());
}

TEST(SpringBoard, TheTweakInstalledTwiceStartsOnceAndWorks) {
    std::string root = devices().scratch("twice");
    ASSERT_EQ(std::system((std::string(ZV_ZORVI) + " device create --screen 375x812@2 --root " + root +
                           " > /dev/null")
                              .c_str()),
              0);
    std::string folder = root + "/Library/MobileSubstrate/DynamicLibraries/";
    std::filesystem::copy_file(folder + "Zorvi.dylib", folder + "Zorvi2.dylib");
    std::filesystem::copy_file(folder + "Zorvi.plist", folder + "Zorvi2.plist");
    auto said = [](const Trace& trace, const std::string& text) {
        for (const auto* log : trace.named("log"))
            if ((*log)["message"].string().find(text) != std::string::npos)
                return true;
        return false;
    };
    // The same file under two names is loaded once.
    Trace trace = run(root, "appear\ndrag 1 0 30 3\nwait 300\nstate\n");
    EXPECT_TRUE(trace.named("error").empty());
    EXPECT_EQ(trace.state(0)["waveViews"].size(), 3u) << "one scene, not two";
    EXPECT_EQ(trace.state(0)["buttons"][0]["frame"].numbers(), frame(37.5, 682, 60, 60)) << "sprang back";
    EXPECT_TRUE(said(trace, "Zorvi2.dylib is the same library as Zorvi.dylib"));
    // A copy that differs (another build) is loaded, and the tweak starts only once. Two copies of
    // one library define the same globals, which the address sanitizer would report.
    std::ofstream(folder + "Zorvi2.dylib", std::ios::app) << "another build";
    trace =
        runHost("env ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_odr_violation=0\" " + std::string(ZV_SPRINGBOARD),
                root, "appear\ndrag 1 0 30 3\nwait 300\nstate\n", devices().scratch("twice.txt"));
    ASSERT_EQ(trace.named("state").size(), 1u);
    EXPECT_EQ(trace.state(0)["waveViews"].size(), 3u);
    EXPECT_EQ(trace.state(0)["buttons"][0]["frame"].numbers(), frame(37.5, 682, 60, 60));
    EXPECT_TRUE(said(trace, "started already by another copy of the tweak"));
}

TEST(SpringBoard, ClassNamesGivenTwiceOrTakenFromTheProductEndWithAMessageNotAnAbort) {
    std::string script = devices().scratch("classes.txt");
    std::ofstream(script) << "appear\nstate\n";
    auto status = [&](const std::string& options, std::string& output) {
        std::string command = std::string(ZV_SPRINGBOARD) + " --root " + standardDevice() +
                              " --headless --script " + script + " " + options + " 2>&1";
        FILE* out = ::popen(command.c_str(), "r");
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, out)) > 0)
            output.append(buffer, got);
        return ::pclose(out);
    };
    std::string output;
    int result = status("--with-class UUWaveView", output);
    EXPECT_TRUE(WIFEXITED(result) && WEXITSTATUS(result) == 1) << result << output;
    EXPECT_NE(output.find("the class name UUWaveView is taken by a class of another library"),
              std::string::npos)
        << output;
    output.clear();
    result = status("--with-class NSObject --with-class ZVSomethingElse", output);
    EXPECT_TRUE(WIFEXITED(result) && WEXITSTATUS(result) == 0) << result << output;
    EXPECT_NE(output.find("--with-class NSObject: a class of that name is registered already"),
              std::string::npos)
        << output;
}

TEST(SpringBoard, CommandsOnAHostileDeviceRefuseAndNeitherHangNorClobber) {
    std::string root = devices().scratch("hostile");
    std::string outside = root + "-outside";
    std::string zorvi = ZV_ZORVI, output;
    ASSERT_EQ(runCommand(zorvi + " device create --screen 200x400@1 --root " + root, output), 0) << output;
    std::filesystem::create_directories(outside);
    // A device whose apps folder leads outside it, laid out again.
    std::filesystem::remove_all(root + "/Applications");
    std::filesystem::create_directory_symlink(outside, root + "/Applications");
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " device create --force --screen 200x400@1 --root " + root, output), 1);
    EXPECT_NE(output.find("leads outside the device"), std::string::npos) << output;
    EXPECT_TRUE(std::filesystem::is_empty(outside));
    // Outputs are regular files only: a device node is not replaced.
    output.clear();
    EXPECT_NE(runCommand(zorvi + " wallpaper --root " + root + " export /dev/full", output), 0);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    Trace trace = run(root, "snapshot /dev/full\nsnapshot " + outside + "/missing/x.png\n");
    EXPECT_EQ(trace.named("error").size(), 2u);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    EXPECT_TRUE(std::filesystem::is_empty(outside)) << "no folder made for a snapshot";
    // A fifo as the wallpaper is refused at once.
    std::string wallpaper = root + "/var/mobile/Library/SpringBoard/LockBackground.cpbitmap";
    std::filesystem::remove(wallpaper);
    ASSERT_EQ(::mkfifo(wallpaper.c_str(), 0644), 0);
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " wallpaper --root " + root + " average", output), 1) << output;
    // A preference file that cannot be read is kept aside by a write, which says so.
    std::string domain = root + "/var/mobile/Library/Preferences/com.vantrel.zorvi.plist";
    std::ofstream(domain) << "{ broken";
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " defaults --root " + root + " write com.vantrel.zorvi hidequick -bool true",
                         output),
              0);
    EXPECT_NE(output.find("kept as /var/mobile/Library/Preferences/com.vantrel.zorvi.plist.corrupt-"),
              std::string::npos)
        << output;
    std::filesystem::remove_all(outside);
}

TEST(SpringBoard, EveryCommandAnswersHelpAndTheVersionAndRefusesNonsense) {
    std::string zorvi = ZV_ZORVI, output;
    EXPECT_EQ(runCommand(zorvi + " --version", output), 0);
    EXPECT_EQ(output.rfind("zorvi ", 0), 0u) << output;
    for (const char* command : {"device", "device create", "defaults", "wallpaper", "waves", "record", "log",
                                "respring", "springboard", "settings", "boot"}) {
        output.clear();
        EXPECT_EQ(runCommand(zorvi + " " + command + " --help", output), 0) << command << ": " << output;
        EXPECT_NE(output.find("usage: zorvi "), std::string::npos) << command << ": " << output;
        output.clear();
        EXPECT_EQ(
            runCommand(zorvi + " help " + std::string(command).substr(0, std::string(command).find(' ')),
                       output),
            0);
    }
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " frobnicate", output), 2);
    EXPECT_NE(output.find("unknown command 'frobnicate'"), std::string::npos);
    output.clear();
    // No display and no --headless: refused with the way out, not a window drawn nowhere.
    EXPECT_EQ(runCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " + zorvi +
                             " springboard --root " + standardDevice(),
                         output),
              2);
    EXPECT_NE(output.find("--headless"), std::string::npos) << output;
}

TEST(SpringBoard, AProcessTableThatCannotBeWrittenIsSaidAndTheLockScreenRunsOn) {
    std::string root = devices().scratch("no-table");
    std::string output;
    ASSERT_EQ(runCommand(std::string(ZV_ZORVI) + " device create --screen 200x400@1 --root " + root, output),
              0)
        << output;
    // A file where the table's folder should be: no entry can be written beneath it.
    std::filesystem::remove_all(root + "/var/run/processes");
    std::filesystem::create_directories(root + "/var/run");
    std::ofstream(root + "/var/run/processes") << "not a folder";
    Trace trace = run(root, "appear\ntick 2\nstate\n");
    EXPECT_EQ(trace.named("state").size(), 1u);
    bool said = false;
    for (const auto* log : trace.named("log"))
        said = said || (*log)["message"].string().find(
                           "cannot enter SpringBoard in the device's process table") != std::string::npos;
    EXPECT_TRUE(said);
}
