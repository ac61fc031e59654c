// Memory that a long Settings session needs: each Update stacks a wallpaper band and its waves on
// the header, and all of them show the one wallpaper, decoded once.

#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class Memory : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zorvi-memory-XXXXXX";
        folder = ::mkdtemp(pattern);
        std::string output;
        ASSERT_EQ(runCommand(std::string(ZV_ZORVI) + " device create --root " + folder + "/device", output),
                  0)
            << output;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // The most memory Settings held (kB) through `updates` Updates, the header's page then drawn
    // on top with all its bands.
    long peakKilobytes(int updates) {
        std::string script = folder + "/updates-" + std::to_string(updates) + ".txt";
        {
            std::ofstream out(script);
            out << "open Zorvi\nopen Colours\n";
            for (int i = 0; i < updates; ++i)
                out << "bar-button\ntick\n";
            out << "back\nwait 200\nrender\n";
        }
        pid_t child = ::fork();
        if (child == 0) {
            int nothing = ::open("/dev/null", O_WRONLY);
            ::dup2(nothing, 1);
            ::dup2(nothing, 2);
            std::string root = folder + "/device";
            // Under AddressSanitizer freed memory is reused at once rather than held in quarantine,
            // so that what is measured is what the program keeps.
            const char* asan = std::getenv("ASAN_OPTIONS");
            std::string options = std::string(asan ? asan : "") + ":quarantine_size_mb=0";
            ::setenv("ASAN_OPTIONS", options.c_str(), 1);
            ::execl(ZV_SETTINGS, ZV_SETTINGS, "--root", root.c_str(), "--headless", "--script",
                    script.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        EXPECT_EQ(::wait4(child, &status, 0, &usage), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return usage.ru_maxrss;
    }

    std::string folder;
};

TEST_F(Memory, AHundredUpdatesNeedLittleMoreThanOne) {
    long one = peakKilobytes(1);
    long hundred = peakKilobytes(100);
    EXPECT_LT(hundred, one * 3 / 2) << "one Update: " << one << " kB, a hundred: " << hundred << " kB";
}

} // namespace
