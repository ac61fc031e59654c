#pragma once

// What one case's run on one device came to: the run's own problems and each picture's check.

#include "tools/picturetest/CaseRunner.h"
#include "tools/picturetest/PictureCheck.h"

#include <string>
#include <vector>

struct RunResult {
    size_t caseIndex = 0;
    MatrixCell cell;
    std::string folder;
    std::vector<std::string> problems;
    std::vector<PictureCheck> pictures;
    // With --update: what became the expected picture ("new picture PATH", "changed PATH: ...").
    std::vector<std::string> updates;
    double seconds = 0;

    bool passed() const {
        if (!problems.empty())
            return false;
        for (const PictureCheck& picture : pictures)
            if (!picture.passed())
                return false;
        return true;
    }
};

// Checks a finished run's pictures against the case's expected ones. With update, a run whose
// script ran whole makes the pictures it took the expected ones (new and changed) and passes.
RunResult judgeRun(const TestCase& testCase, const PlannedRun& planned, CaseRun run,
                   const Tolerance& tolerance, bool update);
