// The Settings application run for real with the settings bundle installed by `zorvi device create`,
// driven by scripts; the checks read its trace, its snapshots, the stored settings and the
// lock-screen process started afterwards on the same device.

#include "platform/graphics/ImageImport.h"
#include "tests/hosts/settings/SettingsDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sys/stat.h>

namespace {

const std::vector<double> purple{0.55, 0.28, 0.82, 1};
const std::vector<double> white{1, 1, 1, 1};

const JsonValue* header(const JsonValue& page, const std::string& cls) {
    for (const auto& h : page["headers"].items())
        if (h["class"].string() == cls)
            return &h;
    return nullptr;
}

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected,
                double tolerance = 1e-6) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

std::string entryPlist(const std::string& label, const std::string& bundle, const std::string& detail) {
    return "{ entry = { bundle = \"" + bundle + "\"; cell = PSLinkCell; label = \"" + label +
           "\"; detail = \"" + detail + "\"; isController = 1; }; }";
}

} // namespace

TEST_F(SettingsTest, TheBundleLoadsOnFirstOpenAndItsRootPageHasThePurpleLookAndBothHeaders) {
    HostTrace trace = settings("state\nopen Zorvi\nstate\nback\nopen Zorvi\nstate\n");
    ASSERT_EQ(trace.named("state").size(), 3u);
    EXPECT_TRUE(trace.named("error").empty());
    // Nothing of the bundle before its entry is opened.
    EXPECT_TRUE(trace.state(0)["globals"]["enablecustom"].isNull());

    const JsonValue& page = topPage(trace.state(1));
    EXPECT_EQ(page["class"].string(), "ZorviRootListController");
    EXPECT_EQ(page["title"].string(), "Zorvi");
    EXPECT_EQ(page["rightButton"]["title"].string(), "Respring");
    EXPECT_EQ(page["rightButton"]["tint"].numbers(), white);
    const JsonValue& look = page["appearance"];
    expectNear(look["tintColor"].numbers(), purple);
    expectNear(look["navigationBarBackgroundColor"].numbers(), purple);
    EXPECT_EQ(look["navigationBarTintColor"].numbers(), white);
    EXPECT_EQ(look["navigationBarTitleColor"].numbers(), white);
    EXPECT_EQ(look["tableViewCellSeparatorColor"].numbers(), std::vector<double>({0, 0, 0, 0}));
    EXPECT_TRUE(look["statusBarTintColor"].isNull());
    EXPECT_TRUE(look["translucentNavigationBar"].isNull());
    EXPECT_TRUE(look["largeTitleStyle"].isNull());

    // No stored settings: both switches read false, so every wave is white.
    const JsonValue& globals = trace.state(1)["globals"];
    EXPECT_FALSE(globals["enablecustom"].boolean());
    EXPECT_FALSE(globals["enableblend"].boolean());
    EXPECT_TRUE(globals["reloadview"].boolean());
    const JsonValue* wallpaper = header(page, "headercellorva");
    const JsonValue* plain = header(page, "orvaheadercell");
    ASSERT_TRUE(wallpaper && plain);
    EXPECT_EQ((*wallpaper)["height"].number(), 150);
    EXPECT_EQ((*plain)["height"].number(), 100);
    ASSERT_EQ((*wallpaper)["subviews"].size(), 4u);
    EXPECT_EQ((*wallpaper)["subviews"][0]["kind"].string(), "image");
    EXPECT_EQ((*wallpaper)["subviews"][0]["frame"].numbers(), std::vector<double>({0, 0, 375, 150}));
    for (size_t i = 1; i < 4; ++i) {
        const JsonValue& waves = (*wallpaper)["subviews"][i];
        EXPECT_EQ(waves["frame"].numbers(), std::vector<double>({0, 50, 375, 150}));
        EXPECT_TRUE(waves["running"].boolean());
        EXPECT_EQ(waves["stroke"].numbers(), white);
    }
    ASSERT_EQ((*plain)["subviews"].size(), 3u);
    for (const auto& waves : (*plain)["subviews"].items()) {
        EXPECT_EQ(waves["frame"].numbers(), std::vector<double>({0, 15, 375, 100}));
        EXPECT_EQ(waves["stroke"].numbers(), white);
    }
    // The rows come from "Root", in order, with the stored app choices.
    std::vector<std::string> labels;
    for (const auto& row : page["rows"].items())
        if (row["kind"].string() != "PSGroupCell")
            labels.push_back(row["label"].string());
    EXPECT_EQ(labels,
              std::vector<std::string>({"Blend with wallpaper", "Custom colours", "Hide quick actions",
                                        "Colours", "App 1", "App 2", "App 3", "App 4"}));
    // Opened again, the root page is a new one; the bundle was loaded once, so its switches stay bound.
    EXPECT_EQ(topPage(trace.state(2))["class"].string(), "ZorviRootListController");
}

TEST_F(SettingsTest, RowsStoreThroughThePreferenceStoreAndWrongTypesShowTheDefault) {
    ASSERT_EQ(defaults("write com.vantrel.zorvi hidequick -string yes"), "");
    HostTrace trace =
        settings("open Zorvi\nstate\ntoggle enableblend\ntoggle hidequick\nset zorvi2 com.apple.Maps\n"
                 "set zorvi3 com.example.missing\nstate\n");
    const JsonValue& before = topPage(trace.state(0));
    for (const auto& row : before["rows"].items()) {
        if (row["key"].string() == "hidequick") {
            EXPECT_FALSE(row["value"].boolean()) << "a string under a switch reads as its default";
        }
    }
    ASSERT_EQ(trace.named("write").size(), 4u);
    const JsonValue& blend = *trace.named("write")[0];
    EXPECT_EQ(blend["domain"].string(), "com.vantrel.zorvi");
    EXPECT_EQ(blend["key"].string(), "enableblend");
    EXPECT_TRUE(blend["value"].boolean());
    EXPECT_EQ((*trace.named("write")[2])["domain"].string(), "com.vantrel.zorvipref");
    EXPECT_TRUE(trace.named("error").empty()) << "any identifier is stored, installed or not";
    EXPECT_TRUE(trace.state(1)["globals"]["enableblend"].boolean()) << "the bound switch follows the write";

    EXPECT_NE(defaults("read com.vantrel.zorvi enableblend").find("1"), std::string::npos);
    EXPECT_NE(defaults("read com.vantrel.zorvipref zorvi2").find("com.apple.Maps"), std::string::npos);
    // The lock screen started afterwards reads what Settings stored.
    HostTrace lock = springboard("state\n");
    const JsonValue& globals = lock.state(0)["globals"];
    EXPECT_TRUE(globals["enableblend"].boolean());
    EXPECT_TRUE(globals["hidequick"].boolean());
    EXPECT_EQ(globals["app2"].string(), "com.apple.Maps");
}

TEST_F(SettingsTest, ColourPageTakesItsRowsAndTitlesFromTheLinkAndUpdateRedrawsTheHeader) {
    HostTrace trace = settings("open Zorvi\nopen Colours\nstate\nset line1 #ff0000\nset line2 FF00FF00\n"
                               "set line3 0000FF:0.5\nset line1 nonsense\ntoggle enablecustom\nbar-button\n"
                               "bar-button\nstate\nback\nstate\nsnapshot " +
                               scratch("updated.png") + "\ntoggle hidequick\nstate\n");
    const JsonValue& colours = topPage(trace.state(0));
    EXPECT_EQ(colours["class"].string(), "ColorPrefsListController");
    EXPECT_EQ(colours["title"].string(), "Colours");
    EXPECT_EQ(colours["navigationTitle"].string(), "Colours");
    EXPECT_EQ(colours["rightButton"]["title"].string(), "Update");
    expectNear(colours["rightButton"]["tint"].numbers(), purple);
    expectNear(colours["appearance"]["tintColor"].numbers(), purple);
    EXPECT_TRUE(colours["appearance"]["navigationBarBackgroundColor"].isNull());
    std::vector<std::string> keys;
    for (const auto& row : colours["rows"].items())
        if (!row["key"].isNull())
            keys.push_back(row["key"].string());
    EXPECT_EQ(keys, std::vector<std::string>({"enablecustom", "line1", "line2", "line3"}));

    // Stored as the picker stores them.
    ASSERT_EQ(trace.named("write").size(), 5u);
    EXPECT_EQ((*trace.named("write")[0])["value"].string(), "FFFF0000");
    EXPECT_EQ((*trace.named("write")[2])["value"].string(), "800000FF");
    EXPECT_EQ(trace.named("error").size(), 1u);
    EXPECT_EQ(trace.named("post").size(), 5u + 2u) << "five change notices and two reload requests";

    // Two updates: the wallpaper header holds three bands and nine wave views, the latest on top in the
    // new colours, the first ones unchanged.
    const JsonValue& root = trace.state(2)["pages"][1];
    const JsonValue* wallpaper = header(root, "headercellorva");
    ASSERT_TRUE(wallpaper);
    const auto& views = (*wallpaper)["subviews"].items();
    ASSERT_EQ(views.size(), 12u);
    EXPECT_EQ(views[8]["kind"].string(), "image");
    expectNear(views[9]["stroke"].numbers(), {1, 0, 0, 1});
    expectNear(views[10]["stroke"].numbers(), {0, 1, 0, 1});
    expectNear(views[11]["stroke"].numbers(), {0, 0, 1, 128.0 / 255}, 1e-3);
    EXPECT_EQ(views[1]["stroke"].numbers(), white);
    EXPECT_TRUE(views[11]["running"].boolean());
    // Storing a value on the page redraws that row alone: the header keeps what the reloads stacked.
    const JsonValue* kept = header(trace.state(3)["pages"][1], "headercellorva");
    ASSERT_TRUE(kept);
    EXPECT_EQ((*kept)["subviews"].size(), 12u);
    // The plain header is untouched.
    EXPECT_EQ((*header(root, "orvaheadercell"))["subviews"][0]["stroke"].numbers(), white);

    // The pictures: the header's newest waves are red and green over the wallpaper band (150 points
    // under the 88-point bar at scale 3) ...
    auto header = decodePicture(scratch("updated.png"));
    ASSERT_TRUE(header.has_value());
    EXPECT_GT(countColoured(*header, 88 * 3, (88 + 150) * 3, 0xff0000), 100);
    EXPECT_GT(countColoured(*header, 88 * 3, (88 + 150) * 3, 0x00ff00), 100);
    // ... and the lock screen started afterwards strokes its waves in the same colours, in its strip.
    HostTrace lock = springboard("state\nsnapshot " + scratch("lock.png") + "\n");
    expectNear(lock.state(0)["waveViews"][0]["stroke"].numbers(), {1, 0, 0, 1});
    expectNear(lock.state(0)["waveViews"][1]["stroke"].numbers(), {0, 1, 0, 1});
    auto strip = decodePicture(scratch("lock.png"));
    ASSERT_TRUE(strip.has_value());
    EXPECT_GT(countColoured(*strip, (812 - 55) * 3, 812 * 3, 0xff0000), 100);
    EXPECT_EQ(countColoured(*strip, 0, (812 - 200) * 3, 0xff0000), 0) << "only in the strip";
}

TEST_F(SettingsTest, UpdateWithoutAHeaderChangesNothingAndBlendWinsOverCustom) {
    ASSERT_EQ(defaults("write com.vantrel.zorvi enablecustom -bool true"), "");
    ASSERT_EQ(defaults("write com.vantrel.zorvi enableblend -bool true"), "");
    ASSERT_EQ(defaults("write com.vantrel.zorvi line1 -string FFFF0000"), "");
    HostTrace trace = settings("open Zorvi\nstate\n");
    const JsonValue& globals = trace.state(0)["globals"];
    std::vector<double> average = globals["color"].numbers();
    ASSERT_EQ(average.size(), 4u);
    EXPECT_EQ(average[3], 1);
    EXPECT_NE(average, std::vector<double>({1, 0, 0, 1}));
    EXPECT_EQ(globals["color2"].numbers()[3], 0.8);
    EXPECT_EQ(globals["color3"].numbers()[3], 0.6);
    EXPECT_EQ(globals["color2"].numbers()[0], average[0]);
}

TEST_F(SettingsTest, RespringStartsTheSystemsKillallEachTimeWithoutWaiting) {
    // The device's copy of killall, changed to record each run: the system's runs instead.
    write("/usr/bin/killall", "#!/bin/sh\necho \"$@\" >> \"$ZV_DEVICE_ROOT/var/log/killall.log\"\n");
    ASSERT_EQ(::chmod((root + "/usr/bin/killall").c_str(), 0755), 0);
    HostTrace trace = settings("open Zorvi\nbar-button\nbar-button\npause 300\n");
    auto tasks = trace.named("task");
    ASSERT_EQ(tasks.size(), 2u);
    for (const auto* task : tasks) {
        EXPECT_EQ((*task)["path"].string(), "/usr/bin/killall");
        ASSERT_EQ((*task)["arguments"].size(), 1u);
        EXPECT_EQ((*task)["arguments"][0].string(), "backboardd");
    }
    EXPECT_FALSE(std::filesystem::exists(root + "/var/log/killall.log"));
    std::ifstream log(root + "/var/log/syslog");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    size_t named = 0;
    for (size_t at = 0;
         (at = text.find("/usr/bin/killall in this device is not the system's", at)) != std::string::npos;
         ++at)
        ++named;
    EXPECT_EQ(named, 2u) << "each launch runs the system's killall and says so";
}

TEST_F(SettingsTest, BadEntriesBundlesAndPlistsShowErrorPagesAndTheAppGoesOn) {
    write("/Library/PreferenceLoader/Preferences/A-Garbage.plist", "\x01\x02 not a plist");
    write("/Library/PreferenceLoader/Preferences/B-Missing.plist", entryPlist("Missing", "nothere", "X"));
    write("/Library/PreferenceLoader/Preferences/C-NotAPage.plist",
          entryPlist("Not a page", "zorvipref", "HBAppearanceZo"));
    write("/Library/PreferenceLoader/Preferences/D-NoClass.plist",
          entryPlist("No class", "zorvipref", "Nobody"));
    write("/Library/PreferenceBundles/broken.bundle/broken", "not a library");
    write("/Library/PreferenceLoader/Preferences/E-Broken.plist", entryPlist("Broken", "broken", "X"));
    // A second copy of the product's bundle: the same classes, under another bundle's name.
    std::filesystem::copy(root + "/Library/PreferenceBundles/zorvipref.bundle",
                          root + "/Library/PreferenceBundles/copy.bundle");
    std::filesystem::rename(root + "/Library/PreferenceBundles/copy.bundle/zorvipref",
                            root + "/Library/PreferenceBundles/copy.bundle/copy");
    write("/Library/PreferenceLoader/Preferences/F-Copy.plist",
          entryPlist("Copy", "copy", "ZorviRootListController"));
    // Garbage as the colour page's plist: the page shows no rows.
    write("/Library/PreferenceBundles/zorvipref.bundle/ColorPrefs.plist", "<plist><dict><key>items</key>");
    HostTrace trace =
        settings("state\nopen Missing\nback\nopen Not a page\nback\nopen No class\nback\nopen Broken\nback\n"
                 "open Zorvi\nback\nopen Copy\nback\nopen Copy\nback\nopen Zorvi\nopen Colours\nstate\n"
                 "open Nowhere\n");
    const JsonValue& first = topPage(trace.state(0));
    std::vector<std::string> labels;
    for (const auto& row : first["rows"].items())
        if (row["kind"].string() == "PSLinkCell")
            labels.push_back(row["label"].string());
    EXPECT_EQ(labels,
              std::vector<std::string>({"Missing", "Not a page", "No class", "Broken", "Copy", "Zorvi"}))
        << "what is not an entry is left out";
    std::vector<std::string> pages;
    for (const auto* page : trace.named("page"))
        pages.push_back((*page)["class"].string() + " " + (*page)["title"].string());
    EXPECT_EQ(pages,
              std::vector<std::string>(
                  {"PSRootListController Settings", "PSListController Missing", "PSListController Not a page",
                   "PSListController No class", "PSListController Broken", "ZorviRootListController Zorvi",
                   "PSListController Copy", "PSListController Copy", "ZorviRootListController Zorvi",
                   "ColorPrefsListController Colours"}));
    size_t copies = 0;
    for (const auto* log : trace.named("log"))
        copies +=
            (*log)["message"].string().find("the bundle copy defines classes that another bundle "
                                            "defined already (ZorviRootListController") != std::string::npos;
    EXPECT_EQ(copies, 2u) << "each time the copy is opened, and it is loaded once";
    EXPECT_EQ(topPage(trace.state(1))["class"].string(), "ColorPrefsListController");
    EXPECT_EQ(topPage(trace.state(1))["rows"].size(), 0u);
    EXPECT_EQ(trace.named("error").size(), 1u) << "only the row that does not exist";
}

TEST_F(SettingsTest, AFolderFloodedWithJunkListsEveryEntryAndSaysOnceWhatWasLeftOut) {
    const std::string folder = root + "/Library/PreferenceLoader/Preferences/";
    for (int i = 0; i < 10000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%05d.plist", i);
        std::ofstream(folder + name) << "junk " << i;
    }
    std::filesystem::create_directory(folder + "folder.plist");
    std::ofstream(folder + "notes.txt") << "not an entry";
    write("/Library/PreferenceLoader/Preferences/Later.plist", entryPlist("Later", "zorvipref", "X"));
    // Larger than any entry: not read whole.
    std::filesystem::resize_file(folder + "00000.plist", 64 << 20);
    auto started = std::chrono::steady_clock::now();
    HostTrace trace = settings("state\nopen Zorvi\n");
    auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, std::chrono::seconds(15)) << "no work that grows faster than the entries";
    std::vector<std::string> labels;
    for (const auto& row : topPage(trace.state(0))["rows"].items())
        if (row["kind"].string() == "PSLinkCell")
            labels.push_back(row["label"].string());
    EXPECT_EQ(labels, std::vector<std::string>({"Later", "Zorvi"}));
    std::vector<std::string> leftOut;
    for (const auto* log : trace.named("log"))
        if ((*log)["message"].string().find("left out") != std::string::npos)
            leftOut.push_back((*log)["message"].string());
    ASSERT_EQ(leftOut.size(), 1u) << "one line for all of them";
    EXPECT_NE(leftOut[0].find("10000 property lists (the first, 00000.plist"), std::string::npos)
        << leftOut[0];
    EXPECT_NE(leftOut[0].find("2 other names"), std::string::npos) << leftOut[0];
    EXPECT_EQ(trace.named("page").size(), 2u) << "Zorvi's page opens";
    EXPECT_TRUE(trace.named("error").empty());
}

TEST_F(SettingsTest, TheSnapshotShowsThePurpleBarAndTheWavesOverTheWallpaper) {
    std::string picture = scratch("root.png");
    HostTrace trace = settings("open Zorvi\ntick 4\nsnapshot " + picture + "\n");
    EXPECT_TRUE(trace.named("error").empty());
    std::ifstream file(picture, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto image = ImageImport::decode(bytes);
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(image->width(), 1125);
    // The bar, under the status bar and away from its text: purple, slightly translucent over the page.
    uint32_t bar = image->pixel(540, 20);
    EXPECT_NEAR((bar >> 16) & 0xff, 0.55 * 255, 12);
    EXPECT_NEAR((bar >> 8) & 0xff, 0.28 * 255, 12);
    EXPECT_NEAR(bar & 0xff, 0.82 * 255, 12);
    // The wallpaper header spans the first 150 points under the bar (88 points at scale 3): white wave
    // pixels cross it.
    int whiteish = 0;
    for (int y = 88 * 3 + 50 * 3; y < 88 * 3 + 150 * 3; ++y)
        for (int x = 0; x < 1125; x += 3) {
            uint32_t p = image->pixel(x, y);
            whiteish += ((p >> 16) & 0xff) > 235 && ((p >> 8) & 0xff) > 235 && (p & 0xff) > 235;
        }
    EXPECT_GT(whiteish, 200);
}

namespace {
// Every element of a described screen, as role and label, depth first.
void collectElements(const JsonValue& elements, std::vector<std::pair<std::string, std::string>>& out) {
    for (size_t i = 0; i < elements.size(); ++i) {
        out.emplace_back(elements[i]["role"].string(), elements[i]["label"].string());
        collectElements(elements[i]["children"], out);
    }
}
} // namespace

TEST_F(SettingsTest, TheBarsBackButtonAndRightItemAreDescribedAsButtonsAndItsTitleAsText) {
    // A process that serves its control socket takes ui lines in its script too.
    HostTrace trace =
        runHost(ZV_SETTINGS, root, "open Zorvi\nui describe\n", scratch("script.txt"), "--control");
    ASSERT_EQ(trace.named("describe").size(), 1u);
    EXPECT_TRUE(trace.named("error").empty());
    std::vector<std::pair<std::string, std::string>> elements;
    collectElements((*trace.named("describe")[0])["elements"], elements);
    auto has = [&](const std::string& role, const std::string& label) {
        return std::find(elements.begin(), elements.end(), std::make_pair(role, label)) != elements.end();
    };
    EXPECT_TRUE(has("button", "\u2039 Settings"));
    EXPECT_TRUE(has("button", "Respring"));
    EXPECT_TRUE(has("text", "Zorvi"));
    EXPECT_FALSE(has("button", "")) << "the first page's empty back button is not described";
}

TEST_F(SettingsTest, AnAppToPickIsDescribedByItsNameWithItsAppAsTheValue) {
    HostTrace trace =
        runHost(ZV_SETTINGS, root, "open Zorvi\nset zorvi com.apple.mobilesafari\nopen App 1\nui describe\n",
                scratch("script.txt"), "--control");
    ASSERT_EQ(trace.named("describe").size(), 1u);
    std::map<std::string, std::string> apps; // value -> label, of the cells
    std::vector<std::string> texts;
    std::function<void(const JsonValue&)> walk = [&](const JsonValue& elements) {
        for (size_t i = 0; i < elements.size(); ++i) {
            const JsonValue& element = elements[i];
            if (element["role"].string() == "cell" && element["value"].kind() == JsonValue::Kind::String)
                apps[element["value"].string()] = element["label"].string();
            if (element["role"].string() == "text")
                texts.push_back(element["label"].string());
            walk(element["children"]);
        }
    };
    walk((*trace.named("describe")[0])["elements"]);
    EXPECT_EQ(apps["com.apple.mobilesafari"], "Safari") << "the chosen app is tapped by its name";
    EXPECT_EQ(apps["com.apple.Maps"], "Maps");
    // The check mark a person sees is still read from the screen.
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Safari  \u2713"), texts.end());
}

TEST_F(SettingsTest, ALabelShownWithTwoBlanksIsTappedByItsWords) {
    // A line's words are joined by one space; the label on screen has two before its check mark.
    HostTrace trace = runHost(ZV_SETTINGS, root,
                              "open Zorvi\nset zorvi com.apple.mobilesafari\nopen App 1\n"
                              "ui tap-label   Safari  \u2713  \nui tap-label Safari \u2713 Maps\n",
                              scratch("script.txt"), "--control");
    auto errors = trace.named("error");
    ASSERT_EQ(errors.size(), 1u) << "only the label no element shows fails";
    EXPECT_NE((*errors[0])["message"].string().find("Safari \u2713 Maps"), std::string::npos)
        << (*errors[0])["message"].string();
}
