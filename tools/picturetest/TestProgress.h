#pragma once

// What `zorvi test` prints while it runs: each run's result in the order of the cases (whatever
// order they end in), a failure's pictures and reasons under it, and on a terminal a status line
// of how many are done and how many failed so far.

#include "tools/picturetest/RunResult.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

class TestProgress {
public:
    // status: where the status line goes (a terminal), or null for none.
    TestProgress(const std::vector<TestCase>& cases, size_t runs, FILE* status);

    // A run ended; prints what can be printed in order.
    void add(size_t run, RunResult result);

    // The results, in order, once all are in.
    const std::vector<std::optional<RunResult>>& results() const { return m_results; }
    size_t failed() const { return m_failed; }

    // Clears the status line.
    void finish();

private:
    void print(const RunResult& result);
    void showStatus();

    const std::vector<TestCase>& m_cases;
    std::vector<std::optional<RunResult>> m_results;
    size_t m_printed = 0;
    size_t m_done = 0;
    size_t m_failed = 0;
    FILE* m_status;
};

// "tests/pictures/lock-white": how the output and the reports name a case.
std::string caseLabel(const TestCase& testCase);
