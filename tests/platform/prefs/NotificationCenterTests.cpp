#include "platform/notify/DarwinNotificationCenter.h"
#include "tests/support/TempDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(NotificationCenter, PostReachesObserversOfTheNameOnly) {
    TempDevice device;
    auto& center = DarwinNotificationCenter::shared();
    int wanted = 0, other = 0;
    int token = center.addObserver("zv.test/wanted", [&](const std::string&) { ++wanted; });
    center.addObserver("zv.test/other", [&](const std::string&) { ++other; });
    EXPECT_TRUE(center.post("zv.test/wanted"));
    EXPECT_TRUE(center.post("zv.test/wanted"));
    EXPECT_EQ(center.waitAndDispatch(1000), 2);
    EXPECT_EQ(wanted, 2);
    EXPECT_EQ(other, 0);
    center.removeObserver(token);
    center.post("zv.test/wanted");
    center.waitAndDispatch(1000);
    EXPECT_EQ(wanted, 2) << "a removed observer hears nothing";
    EXPECT_FALSE(center.post(std::string(DarwinNotificationCenter::maxNameLength + 1, 'x')));
    EXPECT_EQ(center.addObserver("", [](const std::string&) {}), 0);
}

TEST(NotificationCenter, CrossesProcessesOfTheSameDeviceOnly) {
    TempDevice device;
    auto& center = DarwinNotificationCenter::shared();
    int heard = 0;
    center.addObserver("zv.test/ping", [&](const std::string&) { ++heard; });

    pid_t sameDevice = fork();
    if (sameDevice == 0) {
        _exit(DarwinNotificationCenter::shared().post("zv.test/ping") ? 0 : 1);
    }
    int status = 0;
    waitpid(sameDevice, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    center.waitAndDispatch(2000);
    EXPECT_EQ(heard, 1);

    pid_t otherDevice = fork();
    if (otherDevice == 0) {
        TempDevice elsewhere; // a different root: its processes are another device
        DarwinNotificationCenter::shared().post("zv.test/ping");
        _exit(0);
    }
    waitpid(otherDevice, &status, 0);
    EXPECT_EQ(center.waitAndDispatch(300), 0);
    EXPECT_EQ(heard, 1) << "another device's post must not arrive";
}

TEST(NotificationCenter, PostsFromAnotherUserAreDroppedAndLoggedOnce) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to post as another user";
    TempDevice device;
    std::filesystem::permissions(device.path(),
                                 std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    auto& center = DarwinNotificationCenter::shared();
    int heard = 0;
    center.addObserver("zv.test/ping", [&](const std::string&) { ++heard; });

    auto postAs = [](uid_t user, gid_t group, int times) {
        pid_t child = fork();
        if (child == 0) {
            auto& own = DarwinNotificationCenter::shared();
            if (::setgroups(0, nullptr) != 0 || ::setgid(group) != 0 || ::setuid(user) != 0)
                _exit(2);
            bool sent = true;
            for (int i = 0; i < times; ++i)
                sent = own.post("zv.test/ping") && sent;
            _exit(sent ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(postAs(65534, 65534, 3), 0) << "the stranger's posts leave its process";
    EXPECT_EQ(center.waitAndDispatch(300), 0);
    EXPECT_EQ(heard, 0) << "a post from another user must not be delivered";
    ASSERT_EQ(postAs(::getuid(), ::getgid(), 1), 0);
    center.waitAndDispatch(2000);
    EXPECT_EQ(heard, 1) << "a post from the same user is delivered";

    std::ifstream log(device.host("/var/log/syslog"));
    std::string line;
    int dropLines = 0;
    while (std::getline(log, line))
        dropLines += line.find("dropped a notification from user 65534") != std::string::npos;
    EXPECT_EQ(dropLines, 1) << "three dropped posts, one log line";
}

TEST(NotificationCenter, MarkersOfProcessesThatHaveGoneAreDropped) {
    TempDevice device;
    auto& center = DarwinNotificationCenter::shared();
    std::filesystem::create_directories(device.host("/var/run/notifyd"));
    std::string marker = device.host("/var/run/notifyd/999999");
    { std::ofstream(marker).put('\n'); }
    ASSERT_TRUE(std::filesystem::exists(marker));
    EXPECT_TRUE(center.post("zv.test/anyone"));
    EXPECT_FALSE(std::filesystem::exists(marker));
    center.dispatchPending();
    EXPECT_FALSE(std::filesystem::exists(device.host("/var/run/notifyd/") + std::to_string(getpid())))
        << "a process that only posts is not listed";
}

TEST(NotificationCenter, EveryNameOfOneDeviceReachesTheSameListeners) {
    TempDevice device;
    auto& center = DarwinNotificationCenter::shared();
    int heard = 0;
    center.addObserver("zv.test/ping", [&](const std::string&) { ++heard; });
    std::string link = device.path() + "-link";
    std::filesystem::create_directory_symlink(device.path(), link);
    for (const std::string& name : {link, device.path() + "/var/../"}) {
        pid_t child = fork();
        if (child == 0) {
            DeviceRoot::setCurrent(name);
            _exit(DarwinNotificationCenter::shared().post("zv.test/ping") ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << name;
    }
    center.waitAndDispatch(2000);
    center.waitAndDispatch(300);
    EXPECT_EQ(heard, 2);
    EXPECT_TRUE(std::filesystem::exists(device.host("/var/run/notifyd/" + std::to_string(::getpid()))))
        << "this process's marker is still there";
    std::filesystem::remove(link);
}

namespace {

int callbackRuns = 0;

void countRun(void*, void*, const char*, const void*, const void*) {
    ++callbackRuns;
}

} // namespace

TEST(NotificationCenter, ACentreMadeForANewDeviceTakesTheSameRegistrationAgain) {
    callbackRuns = 0;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first device" : "second device, same process");
        TempDevice device;
        DarwinNotificationCenter* center = CFNotificationCenterGetDarwinNotifyCenter();
        CFNotificationCenterAddObserver(center, nullptr, &countRun, "zv.test/reload", nullptr, 0);
        CFNotificationCenterAddObserver(center, nullptr, &countRun, "zv.test/reload", nullptr, 0);
        CFNotificationCenterPostNotification(center, "zv.test/reload", nullptr, nullptr, true);
        center->waitAndDispatch(2000);
        EXPECT_EQ(callbackRuns, round + 1) << "one run per posting, however often it was registered";
    }
}
