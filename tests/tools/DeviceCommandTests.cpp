// The device-keeping commands run for real on throw-away devices: what they do with folders
// someone else laid out (planted fifos, links, odd names), and what they print from them.

#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string zorvi = ZV_ZORVI;

// A folder for one test holding a small device at "dev", removed after.
class Scratch {
public:
    Scratch() {
        char pattern[] = "/tmp/zorvi-tools-XXXXXX";
        m_path = ::mkdtemp(pattern);
        std::string output;
        EXPECT_EQ(runCommand(zorvi + " device create --screen 100x200@1 --root " + device(), output), 0)
            << output;
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    std::string path() const { return m_path; }
    std::string device() const { return m_path + "/dev"; }

private:
    std::string m_path;
};

std::string log(const Scratch& scratch) {
    return scratch.device() + "/var/log/syslog";
}

} // namespace

TEST(DeviceCommand, APlantedFifoAsTheBootLockNeitherHangsNorPassesForABootedDevice) {
    Scratch scratch;
    std::string lock = scratch.device() + "/var/run/boot.lock";
    fs::remove(lock);
    ASSERT_EQ(::mkfifo(lock.c_str(), 0644), 0);
    std::string output;
    EXPECT_EQ(runCommand(zorvi + " device list --root " + scratch.device(), output), 0) << output;
    EXPECT_NE(output.find(scratch.device() + "  system 14.4"), std::string::npos) << output;
    EXPECT_EQ(output.find("booted"), std::string::npos) << output;
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " device erase --root " + scratch.device(), output), 0) << output;
    EXPECT_FALSE(fs::exists(scratch.device()));
}

TEST(DeviceCommand, EraseRemovesTheDeviceANameLeadsToAndSaysWhich) {
    Scratch scratch;
    std::string output;
    // A link to the device: the device goes, and the output names it, not only the link.
    fs::create_directory_symlink(scratch.device(), scratch.path() + "/link");
    EXPECT_EQ(runCommand(zorvi + " device erase --root " + scratch.path() + "/link", output), 0) << output;
    EXPECT_FALSE(fs::exists(scratch.device()));
    EXPECT_NE(output.find("erased " + scratch.device()), std::string::npos) << output;
    // "DEV/." is DEV: erased whole, not emptied and then refused.
    output.clear();
    ASSERT_EQ(runCommand(zorvi + " device create --screen 100x200@1 --root " + scratch.device(), output), 0);
    EXPECT_EQ(runCommand(zorvi + " device erase --root " + scratch.device() + "/.", output), 0) << output;
    EXPECT_FALSE(fs::exists(scratch.device()));
    // A link inside the device is removed, never followed.
    output.clear();
    ASSERT_EQ(runCommand(zorvi + " device create --screen 100x200@1 --root " + scratch.device(), output), 0);
    fs::create_directory(scratch.path() + "/outside");
    std::ofstream(scratch.path() + "/outside/keep") << "mine";
    fs::create_directory_symlink(scratch.path() + "/outside", scratch.device() + "/var/mobile/elsewhere");
    EXPECT_EQ(runCommand(zorvi + " device erase --root " + scratch.device(), output), 0) << output;
    EXPECT_TRUE(fs::exists(scratch.path() + "/outside/keep"));
    // Nothing there: an error, not "erased".
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " device erase --root " + scratch.device(), output), 1) << output;
    EXPECT_EQ(output.find("erased"), std::string::npos) << output;
}

TEST(DeviceCommand, ABootedDeviceIsNeitherErasedNorLaidOutAgain) {
    Scratch scratch;
    // Booted: its supervisor holds the lock.
    int lock = ::open((scratch.device() + "/var/run/boot.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    std::string apps = scratch.device() + "/var/mobile/Library/Preferences/com.vantrel.zorvipref.plist";
    ASSERT_TRUE(fs::exists(apps));
    fs::remove(apps); // a choice of the running device that create would reset
    std::string output;
    EXPECT_EQ(runCommand(zorvi + " device create --force --root " + scratch.device(), output), 1) << output;
    EXPECT_NE(output.find("is booted"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(apps));
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " device erase --root " + scratch.device(), output), 1) << output;
    EXPECT_TRUE(fs::exists(scratch.device() + "/System"));
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " device list --root " + scratch.device(), output), 0) << output;
    EXPECT_NE(output.find("booted"), std::string::npos) << output;
    // Booted, with no backboardd running (between a Respring's two): said as it is.
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " respring --root " + scratch.device(), output), 1) << output;
    EXPECT_NE(output.find("is booted but no backboardd of it is running"), std::string::npos) << output;
    ::close(lock);
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " respring --root " + scratch.device(), output), 1) << output;
    EXPECT_NE(output.find("the device is not booted"), std::string::npos) << output;
}

TEST(DeviceCommand, WhatIsPrintedFromADeviceCannotDriveTheTerminal) {
    Scratch scratch;
    std::string plist = scratch.device() + "/var/mobile/Library/Preferences/com.example.odd.plist";
    std::ofstream(plist) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<plist version=\"1.0\"><dict><key>title&#27;]0;owned&#7;</key>"
                            "<string>red&#27;[31m&#x9b;2J\nnext</string></dict></plist>\n";
    std::string output;
    EXPECT_EQ(runCommand(zorvi + " defaults read --root " + scratch.device() + " com.example.odd", output), 0)
        << output;
    EXPECT_EQ(output.find('\x1b'), std::string::npos) << output;
    EXPECT_EQ(output.find('\x07'), std::string::npos) << output;
    EXPECT_EQ(output.find("\xc2\x9b"), std::string::npos) << output;
    EXPECT_NE(output.find("\"title\\x1B]0;owned\\x07\""), std::string::npos) << output;
    EXPECT_NE(output.find("\"red\\x1B[31m\\u009B2J\\nnext\""), std::string::npos) << output;
    // The log too: its lines stay lines, their escapes do not reach the terminal.
    std::ofstream(log(scratch), std::ios::app) << "tweak: \x1b[2Jcleared\tand \xff bytes\n";
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " log --root " + scratch.device(), output), 0) << output;
    EXPECT_NE(output.find("tweak: \\x1B[2Jcleared\tand \\xFF bytes\n"), std::string::npos) << output;
}

TEST(DeviceCommand, TheLogPrintsItsLastLineAndFollowsItsNameThroughEmptyingAndReplacing) {
    Scratch scratch;
    std::ofstream(log(scratch), std::ios::trunc) << "first\nno newline yet";
    std::string output;
    EXPECT_EQ(runCommand(zorvi + " log --root " + scratch.device(), output), 0);
    EXPECT_EQ(output, "first\nno newline yet\n");

    std::string followed = scratch.path() + "/followed";
    std::string command =
        zorvi + " log --follow --root " + scratch.device() + " > " + followed + " 2>&1 & echo $!";
    FILE* started = ::popen(command.c_str(), "r");
    ASSERT_NE(started, nullptr);
    int pid = 0;
    ASSERT_EQ(std::fscanf(started, "%d", &pid), 1);
    ::pclose(started);
    auto waitFor = [&](const std::string& text) {
        for (int i = 0; i < 100; ++i) {
            std::ifstream in(followed);
            std::string seen((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (seen.find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    EXPECT_TRUE(waitFor("first\n"));
    std::ofstream(log(scratch), std::ios::trunc) << "after emptying\n";
    EXPECT_TRUE(waitFor("after emptying\n"));
    std::string replacement = log(scratch) + ".new";
    std::ofstream(replacement) << "after replacing\n";
    fs::rename(replacement, log(scratch));
    EXPECT_TRUE(waitFor("after replacing\n"));
    std::ofstream(log(scratch), std::ios::app) << "and more\n";
    EXPECT_TRUE(waitFor("and more\n"));
    // Emptied and written past where the reading stood, before the next look: still read from its start.
    std::string rewritten = std::string(200, 'r') + " rewritten\n";
    std::ofstream(log(scratch), std::ios::trunc) << rewritten;
    EXPECT_TRUE(waitFor(rewritten));
    ::kill(pid, SIGTERM);
}

TEST(DeviceCommand, AHugeLogWithoutNewlinesIsPrintedInBoundedMemory) {
    Scratch scratch;
    {
        std::ofstream out(log(scratch), std::ios::trunc);
        std::string block(1 << 20, 'x');
        for (int i = 0; i < 64; ++i)
            out << block;
    }
    // Peak memory of the command as the kernel counts it, against the same command on a log of one
    // line (under AddressSanitizer, freed memory is reused at once rather than held in quarantine).
    auto peakOf = [&](const std::string& folder, std::string& output) {
        std::string peak = scratch.path() + "/peak";
        const char* asan = std::getenv("ASAN_OPTIONS");
        EXPECT_EQ(runCommand("env ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":quarantine_size_mb=0 " +
                                 "/usr/bin/time -o " + peak + " -f %M " + zorvi + " log --root " + folder +
                                 " | wc -c",
                             output),
                  0);
        std::ifstream in(peak);
        long kb = 0;
        in >> kb;
        return kb;
    };
    std::string output, small;
    long huge = peakOf(scratch.device(), output);
    EXPECT_EQ(std::atol(output.c_str()), 64L * (1 << 20) + 1) << "every byte, and the closing newline";
    ASSERT_EQ(
        runCommand(zorvi + " device create --screen 100x200@1 --root " + scratch.path() + "/small", small),
        0);
    std::ofstream(scratch.path() + "/small/var/log/syslog", std::ios::trunc) << "one line\n";
    long baseline = peakOf(scratch.path() + "/small", small);
    ASSERT_GT(baseline, 0);
    EXPECT_LT(huge, baseline + 24 * 1024)
        << "a 64 MB line was held whole (" << huge << " kB against " << baseline << " kB for one line)";
}
