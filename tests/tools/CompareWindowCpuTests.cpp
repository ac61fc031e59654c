// bench/compare-window-cpu.sh as a person runs it: its help, what it says to a wrong command line,
// and a short real round of two builds' windows side by side.

#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string script = std::string(ZV_SOURCE_DIR_TEXT) + "/bench/compare-window-cpu.sh";
// The build tree the tests were built in: its bin holds the programs the script runs.
const std::string tree = fs::path(ZV_ZORVI).parent_path().parent_path().string();

} // namespace

TEST(CompareWindowCpu, HelpAndWrongCommandLinesSayWhatItTakes) {
    std::string output;
    EXPECT_EQ(runCommand(script + " --help", output), 0);
    EXPECT_EQ(output.rfind("usage: bench/compare-window-cpu.sh BASELINE_BUILD BUILD", 0), 0u) << output;
    EXPECT_NE(output.find("--screen settings"), std::string::npos) << output;

    struct Case {
        std::string arguments, says;
    };
    std::string empty = fs::temp_directory_path().string();
    for (const Case& wrong :
         {Case{"", "usage: bench/compare-window-cpu.sh"}, Case{tree, "usage: bench/compare-window-cpu.sh"},
          Case{tree + " " + tree + " --screen home", "--screen is lock or settings"},
          Case{tree + " " + tree + " --seconds 0", "take a positive whole number"},
          Case{tree + " " + tree + " --rounds two", "take a positive whole number"},
          Case{tree + " " + tree + " --seconds", "usage:"},
          Case{tree + " " + tree + " --fast", "unknown argument --fast"},
          Case{empty + " " + tree, empty + "/bin/zorvi is not there"}}) {
        output.clear();
        EXPECT_EQ(runCommand(script + " " + wrong.arguments, output), 2) << wrong.arguments << ": " << output;
        EXPECT_NE(output.find(wrong.says), std::string::npos) << wrong.arguments << ": " << output;
    }
}

TEST(CompareWindowCpu, ARoundMeasuresBothWindowsAndItsRatio) {
    if (::access("/usr/bin/Xvfb", X_OK) != 0)
        GTEST_SKIP() << "Xvfb is not installed";
    std::string output;
    ASSERT_EQ(
        runCommand(script + " " + tree + " " + tree + " --screen settings --seconds 1 --rounds 1", output), 0)
        << output;
    std::smatch round;
    ASSERT_TRUE(std::regex_search(output, round,
                                  std::regex("round 1: baseline ([0-9.]+) % of a core, build ([0-9.]+) %, "
                                             "ratio ([0-9.]+)")))
        << output;
    // Both windows ran and animated: each took some time, and the ratio is the one of the two.
    double baseline = std::stod(round[1]), build = std::stod(round[2]), ratio = std::stod(round[3]);
    EXPECT_GT(baseline, 0) << output;
    EXPECT_GT(build, 0) << output;
    // The percentages are printed to two places, the ratio from the unrounded times.
    EXPECT_NEAR(ratio, build / baseline, ratio * (0.005 / baseline + 0.005 / build) + 0.001) << output;
    EXPECT_NE(output.find("median ratio " + round[3].str() + " over 1 rounds"), std::string::npos) << output;
}
