// The list machinery under the Settings application, driven through a sample bundle of the tests'
// own: rows of every kind, header cells by class name, a page's own list, links, buttons, editors,
// scrolling, and notifications and programs that leave the process.

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSTask.h"
#include "platform/graphics/ImageImport.h"
#include "platform/notify/DarwinNotificationCenter.h"
#include "tests/hosts/settings/SettingsDevice.h"
#include "tests/support/TempDevice.h"

#include <chrono>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

class SampleTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        std::filesystem::copy(ZV_SAMPLE_BUNDLE, root + "/Library/PreferenceBundles/sample.bundle");
        write("/Library/PreferenceLoader/Preferences/Sample.plist",
              "{ entry = { bundle = sample; cell = PSLinkCell; label = Sample; isController = 1; }; }");
        write("/usr/bin/sample-tool",
              "#!/bin/sh\necho \"$@\" >> \"$ZV_DEVICE_ROOT/var/log/sample-tool.log\"\n");
        ::chmod((root + "/usr/bin/sample-tool").c_str(), 0755);
    }

    std::vector<std::string> messages(const HostTrace& trace) const {
        std::vector<std::string> found;
        for (const auto* log : trace.named("log"))
            found.push_back((*log)["message"].string());
        return found;
    }
    bool logged(const HostTrace& trace, const std::string& part) const {
        for (const auto& message : messages(trace))
            if (message.find(part) != std::string::npos)
                return true;
        return false;
    }
    const JsonValue* row(const JsonValue& page, const std::string& label) const {
        for (const auto& r : page["rows"].items())
            if (r["label"].string() == label)
                return &r;
        return nullptr;
    }
};

// This process's children, as the kernel lists them.
std::string children() {
    std::ifstream list("/proc/self/task/" + std::to_string(::getpid()) + "/children");
    return std::string((std::istreambuf_iterator<char>(list)), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace

TEST_F(SampleTest, ThePagesOwnListShowsWithHeadersByClassNameAndBadRowsLeftOut) {
    HostTrace trace = settings("state\nopen Sample\nstate\n");
    std::vector<std::string> order;
    for (const auto& event : trace.events)
        if (event["event"].string() == "state" || event["message"].string() == "sample: start-up")
            order.push_back(event["event"].string());
    EXPECT_EQ(order, (std::vector<std::string>{"state", "log", "state"}))
        << "the bundle starts when its entry is opened, not with the application";
    const JsonValue& page = topPage(trace.state(1));
    EXPECT_EQ(page["class"].string(), "SampleRootController");
    EXPECT_EQ(page["title"].string(), "Sample") << "titled after its entry";
    std::vector<std::string> labels;
    for (const auto& r : page["rows"].items())
        labels.push_back(r["label"].string());
    ASSERT_GE(labels.size(), 2u);
    EXPECT_EQ(labels.back(), "Made in code") << "the page's own specifiers are what shows";
    EXPECT_EQ(std::count(labels.begin(), labels.end(), "Mystery"), 0);
    EXPECT_EQ(std::count(labels.begin(), labels.end(), "No kind"), 0);
    ASSERT_EQ(page["headers"].size(), 1u) << "a header only where the class adopts the protocol";
    EXPECT_EQ(page["headers"][0]["class"].string(), "SampleHeader");
    EXPECT_EQ(page["headers"][0]["height"].number(), 73);
    ASSERT_TRUE(row(page, "Broken header") && row(page, "Missing header")) << "those groups still show";
    EXPECT_TRUE(row(page, "Switch")->operator[]("value").boolean()) << "the default while nothing is stored";
    EXPECT_EQ((*row(page, "Name"))["value"].string(), "nobody");
    EXPECT_TRUE((*row(page, "Tint"))["value"].isNull());
    for (const char* problem : {"NotAHeader does not adopt", "NoSuchHeader does not exist", "PSMysteryCell",
                                "unknown cell kind \"\"", "\"label\" is not a string", "NoSuchController"})
        EXPECT_TRUE(logged(trace, problem)) << problem;
    size_t startups = 0;
    for (const auto& message : messages(trace))
        startups += message == "sample: start-up";
    EXPECT_EQ(startups, 1u);
}

TEST_F(SampleTest, RowsStoreTheirValuesAndEditorsAndLinksPushTheirPages) {
    ASSERT_EQ(defaults("write com.example.sample flag -string maybe"), "");
    HostTrace trace =
        settings("open Sample\nstate\ntoggle flag\nset name Ada Lovelace\nset tint 0000FF:0.5\n"
                 "set favourite com.apple.Maps\nopen Tint\nback\nopen Favourite\nopen Safari\nstate\n"
                 "open More\nback\nopen Nowhere\nback\nopen Switch\nstate\n");
    EXPECT_TRUE((*row(topPage(trace.state(0)), "Switch"))["value"].boolean())
        << "a string reads as the default";
    auto writes = trace.named("write");
    ASSERT_EQ(writes.size(), 6u);
    EXPECT_FALSE((*writes[0])["value"].boolean());
    EXPECT_EQ((*writes[1])["value"].string(), "Ada Lovelace");
    EXPECT_EQ((*writes[2])["value"].string(), "800000FF");
    EXPECT_EQ((*writes[3])["domain"].string(), "com.example.samplesuite");
    EXPECT_EQ((*writes[4])["value"].string(), "com.apple.mobilesafari") << "picked in the app editor";
    EXPECT_TRUE((*writes[5])["value"].boolean()) << "tapping a switch row flips it back";
    bool changed = false;
    for (const auto* post : trace.named("post"))
        changed |= (*post)["name"].string() == "com.example.sample/changed";
    EXPECT_TRUE(changed) << "the switch's PostNotification";

    std::vector<std::string> pages;
    for (const auto* page : trace.named("page"))
        pages.push_back((*page)["class"].string() + " " + (*page)["title"].string());
    EXPECT_EQ(pages, std::vector<std::string>(
                         {"PSRootListController Settings", "SampleRootController Sample",
                          "PSColorPickerController Tint", "PSAppPickerController Favourite",
                          "SampleDetailController Detail forty-two", "PSListController Nowhere"}));
    const JsonValue& after = topPage(trace.state(1));
    EXPECT_EQ((*row(after, "Favourite"))["value"].string(), "com.apple.mobilesafari")
        << "the editor went back";
    EXPECT_NE(defaults("read com.example.sample name").find("Ada Lovelace"), std::string::npos);
    EXPECT_NE(defaults("read com.example.samplesuite favourite").find("com.apple.mobilesafari"),
              std::string::npos);
}

TEST_F(SampleTest, TextThatIsNotUtf8IsRefusedWithOneErrorAndTheStoredValueStays) {
    HostTrace trace = settings("open Sample\nset name Ada\nset name Ada \xC3\x28 Lovelace\nstate\n");
    auto writes = trace.named("write");
    ASSERT_EQ(writes.size(), 1u) << "only what was stored";
    EXPECT_EQ((*writes[0])["value"].string(), "Ada");
    auto errors = trace.named("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE((*errors[0])["message"].string().find("not UTF-8"), std::string::npos);
    EXPECT_EQ((*row(topPage(trace.state(0)), "Name"))["value"].string(), "Ada") << "the row keeps showing it";
    EXPECT_EQ(defaults("read com.example.sample name"), "Ada\n");
}

TEST_F(SampleTest, AButtonPostsToEveryProcessAndStartsADeviceProgram) {
    // Another process of the same device waits for the notification.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t listener = ::fork();
    if (listener == 0) {
        ::close(ready[0]);
        DeviceRoot::setCurrent(root);
        bool received = false;
        DarwinNotificationCenter::shared().addObserver("com.example.sample/ping",
                                                       [&](const std::string&) { received = true; });
        (void)!::write(ready[1], "r", 1);
        for (int i = 0; i < 300 && !received; ++i)
            DarwinNotificationCenter::shared().waitAndDispatch(100);
        ::_exit(received ? 0 : 1);
    }
    ::close(ready[1]);
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    HostTrace trace = settings("open Sample\nopen Ping\nopen Wrong action\nopen Ping\npause 200\nstate\n");
    int status = -1;
    ::waitpid(listener, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other process got the notification";
    EXPECT_TRUE(logged(trace, "sample: received com.example.sample/ping")) << "and this process too";
    ASSERT_EQ(trace.named("error").size(), 1u) << "an action of the wrong shape is refused, not run";
    EXPECT_NE((*trace.named("error")[0])["message"].string().find("cannot be sent"), std::string::npos);
    EXPECT_EQ(trace.named("state").size(), 1u) << "and the application goes on";
    auto tasks = trace.named("task");
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ((*tasks[0])["path"].string(), "/usr/bin/sample-tool");
    EXPECT_EQ((*tasks[0])["arguments"][0].string(), "Ping");
    // The tool runs on its own, not waited for: give both runs time to write.
    std::string logged;
    for (int i = 0; i < 200 && logged != "Ping\nPing\n"; ++i) {
        if (i > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        auto log = readFile(root + "/var/log/sample-tool.log");
        logged.assign(log.begin(), log.end());
    }
    EXPECT_EQ(logged, "Ping\nPing\n");
}

TEST_F(SampleTest, AProgramATapCannotStartShowsAnAlertUntilTheNextTap) {
    std::filesystem::remove(root + "/usr/bin/sample-tool");
    HostTrace trace = settings("open Sample\nstate\nopen Ping\nstate\nscroll 10\nstate\n");
    EXPECT_TRUE(trace.state(0)["alert"].isNull());
    auto alerts = trace.named("alert");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ((*alerts[0])["title"].string(), "Cannot start sample-tool");
    EXPECT_NE((*alerts[0])["message"].string().find("/usr/bin/sample-tool could not be started"),
              std::string::npos);
    EXPECT_EQ(trace.state(1)["alert"]["title"].string(), "Cannot start sample-tool") << "the person sees it";
    EXPECT_TRUE(logged(trace, "cannot start /usr/bin/sample-tool")) << "and the log says why";
    EXPECT_TRUE(trace.state(2)["alert"].isNull()) << "the next tap dismisses it";
    EXPECT_TRUE(trace.named("error").empty());
}

TEST_F(SampleTest, ScrollingMovesTheTableAndStopsAtItsEnd) {
    std::string top = scratch("top.png"), middle = scratch("middle.png"), end = scratch("end.png"),
                beyond = scratch("beyond.png");
    HostTrace trace =
        settings("open Sample\nsnapshot " + top + "\nscroll 200\nsnapshot " + middle +
                 "\nscroll 5000\nsnapshot " + end + "\nscroll 50\nsnapshot " + beyond + "\nscroll x\n");
    EXPECT_EQ(trace.named("error").size(), 1u);
    EXPECT_NE(readFile(top), readFile(middle));
    EXPECT_NE(readFile(middle), readFile(end));
    EXPECT_EQ(readFile(end), readFile(beyond)) << "no scrolling past the end";
    auto picture = ImageImport::decode(readFile(top));
    ASSERT_TRUE(picture.has_value());
    // The bar stays where it is (a little of the page shows through it).
    uint32_t before = picture->pixel(540, 200), after = ImageImport::decode(readFile(end))->pixel(540, 200);
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(static_cast<int>((before >> shift) & 0xff), static_cast<int>((after >> shift) & 0xff),
                    16);
}

TEST(NSTaskLaunch, StartsTheDeviceProgramAndLeavesNoChildToReap) {
    TempDevice device;
    std::filesystem::create_directories(device.host("/usr/bin"));
    std::ofstream(device.host("/usr/bin/mark")) << "#!/bin/sh\ntouch \"$ZV_DEVICE_ROOT/var/log/$1\"\n";
    ::chmod(device.host("/usr/bin/mark").c_str(), 0755);
    Ref<NSTask> task = NSTask::task();
    task->setLaunchPath("/usr/bin/mark");
    task->setArguments({"done"});
    std::string before = children();
    EXPECT_TRUE(task->launch());
    EXPECT_EQ(children(), before) << "the program is not our child, so nothing is left to reap";
    for (int i = 0; i < 1000 && !std::filesystem::exists(device.host("/var/log/done")); ++i)
        ::usleep(10000);
    EXPECT_TRUE(std::filesystem::exists(device.host("/var/log/done")));
    task->setLaunchPath("/usr/bin/absent");
    EXPECT_FALSE(task->launch()) << "a program that is not there is a failure, reported";
}
