// A host's exit status says what happened: a run whose trace was lost, or whose bundle ended the
// process as it loaded, is a failure even where every script line ran.

#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class ExitStatus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/zorvi-exit-XXXXXX";
        folder = ::mkdtemp(pattern);
        std::string output;
        ASSERT_EQ(runCommand(std::string(ZV_ZORVI) + " device create --root " + device(), output), 0)
            << output;
        // Lines every program runs without an error, and lines that open the settings bundle.
        std::ofstream(folder + "/state.txt") << "state\n";
        std::ofstream(folder + "/open.txt") << "state\nopen Zorvi\nstate\n";
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    static std::string device() { return folder + "/device"; }

    static int run(const std::string& program, const std::string& root, const std::string& script,
                   const std::string& trace, std::string& output) {
        return runCommand(program + " --root " + root + " --headless --script " + folder + "/" + script +
                              " " + trace,
                          output);
    }

    static inline std::string folder;
};

TEST_F(ExitStatus, ATraceThatCannotBeWrittenFailsTheRun) {
    for (const char* program : {ZV_SPRINGBOARD, ZV_SETTINGS, ZV_BOOT}) {
        SCOPED_TRACE(program);
        std::string output;
        EXPECT_EQ(run(program, device(), "state.txt", "--trace /dev/full", output), 1);
        EXPECT_NE(output.find("cannot write the trace to /dev/full"), std::string::npos) << output;
        // Standard output full too (its message then has nowhere to go).
        EXPECT_EQ(run(program, device(), "state.txt", "> /dev/full", output), 1);
    }
    std::string output;
    EXPECT_EQ(run(ZV_SETTINGS, device(), "state.txt", "--trace " + folder + "/trace.txt", output), 0)
        << "a trace that is written leaves the status alone: " << output;
}

TEST_F(ExitStatus, ABundleThatEndsSettingsAsItLoadsFailsTheRun) {
    std::string root = folder + "/exiting";
    fs::copy(device(), root, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    fs::copy_file(ZV_EXITING_LIBRARY, root + "/Library/PreferenceBundles/zorvipref.bundle/zorvipref",
                  fs::copy_options::overwrite_existing);
    std::string trace = folder + "/exiting-trace.txt";
    std::string output;
    EXPECT_EQ(run(ZV_SETTINGS, root, "open.txt", "--trace " + trace, output), 1) << output;
    std::ifstream lines(trace);
    std::string line, last;
    int states = 0;
    while (std::getline(lines, line)) {
        states += line.find("\"event\":\"state\"") != std::string::npos;
        last = line;
    }
    EXPECT_EQ(states, 1) << "the run ended at the bundle's load";
    EXPECT_NE(last.find("zorvipref ended the process while it was loading"), std::string::npos) << last;
}

} // namespace
