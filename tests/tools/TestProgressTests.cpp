#include "tools/picturetest/TestProgress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

RunResult result(size_t caseIndex, const std::string& system, bool passed) {
    RunResult run;
    run.caseIndex = caseIndex;
    run.cell = {system, "187x406@1"};
    if (!passed)
        run.problems.push_back("line 2: cannot run 'frob' with 1 argument(s)");
    return run;
}

std::string contents(FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    return text;
}

} // namespace

TEST(TestProgress, PrintsRunsInTheCasesOrderAndCountsDoneAndFailedOnTheTerminal) {
    std::vector<TestCase> cases(2);
    cases[0].folder = "cases";
    cases[0].name = "lock";
    cases[1].folder = "cases";
    cases[1].name = "pages";
    std::unique_ptr<FILE, int (*)(FILE*)> terminal(std::tmpfile(), std::fclose);
    ASSERT_TRUE(terminal);
    TestProgress progress(cases, 3, terminal.get());

    testing::internal::CaptureStdout();
    // The last run ends first: nothing is printed until the runs before it are in.
    progress.add(2, result(1, "14.4", false));
    std::string early = testing::internal::GetCapturedStdout();
    EXPECT_EQ(early, "");
    EXPECT_NE(contents(terminal.get()).find("1 of 3 runs done, 1 failed"), std::string::npos);

    testing::internal::CaptureStdout();
    progress.add(0, result(0, "12.4", true));
    progress.add(1, result(1, "12.4", true));
    progress.finish();
    std::string rest = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rest, "ok    cases/lock [12.4 187x406@1]\n"
                    "ok    cases/pages [12.4 187x406@1]\n"
                    "FAIL  cases/pages [14.4 187x406@1]\n"
                    "      line 2: cannot run 'frob' with 1 argument(s)\n");
    std::string status = contents(terminal.get());
    EXPECT_NE(status.find("2 of 3 runs done, 1 failed"), std::string::npos) << status;
    // Once the last run is in, no status line is left under the summary.
    EXPECT_EQ(status.substr(status.size() - 4), "\r\033[K");
    EXPECT_EQ(progress.failed(), 1u);

    // Runs cut short (an interrupt): finishing clears the status line they left.
    std::unique_ptr<FILE, int (*)(FILE*)> cut(std::tmpfile(), std::fclose);
    ASSERT_TRUE(cut);
    TestProgress interrupted(cases, 2, cut.get());
    testing::internal::CaptureStdout();
    interrupted.add(0, result(0, "12.4", true));
    interrupted.finish();
    testing::internal::GetCapturedStdout();
    std::string left = contents(cut.get());
    EXPECT_EQ(left.substr(left.size() - 4), "\r\033[K") << left;
}
