#include "tools/picturetest/RunResult.h"

RunResult judgeRun(const TestCase& testCase, const PlannedRun& planned, CaseRun run,
                   const Tolerance& tolerance, bool update) {
    RunResult result;
    result.caseIndex = planned.caseIndex;
    result.cell = planned.cell;
    result.folder = planned.folder;
    result.problems = std::move(run.problems);
    result.seconds = run.seconds;
    // A case that could not run has no pictures to look at.
    if (!testCase.problem.empty())
        return result;
    std::string expectedFolder = testCase.expectedFolder(planned.cell.folderName());
    for (const std::string& name : testCase.pictures) {
        PictureCheck check = checkPicture(name, planned.folder, expectedFolder, tolerance);
        // A run that stopped short says why already.
        if (check.verdict == PictureVerdict::NotTaken && !result.problems.empty())
            continue;
        // Only a run that went as its script says may set what is expected.
        bool acceptable = check.verdict != PictureVerdict::Same && check.verdict != PictureVerdict::NotTaken;
        if (update && acceptable && result.problems.empty()) {
            std::string error;
            if (!acceptPicture(check, error)) {
                result.problems.push_back("cannot update " + check.expectedSource + ": " + error);
            } else {
                result.updates.push_back(check.verdict == PictureVerdict::New
                                             ? "new picture " + check.expectedSource
                                             : "changed " + check.expectedSource + ": " + check.message);
                check.verdict = PictureVerdict::Same;
                check.message = result.updates.back();
            }
        }
        result.pictures.push_back(std::move(check));
    }
    return result;
}
