// zorvi test's run: the cases of the folders on each cell of the matrix, their pictures compared
// (tools/picturetest does the work).

#include "hosts/common/CommandLine.h"
#include "tools/DrawingCommands.h"
#include "tools/picturetest/PictureTest.h"

#include <thread>

static_assert(TestOptions{}.timeout == defaultRunTimeLimit);

int zv_runPictureTests(const CLI::App& command, const TestOptions& options) {
    if (!options.matrix.empty() && (!options.systems.empty() || !options.screens.empty()))
        return CommandLine::usageError(command,
                                       "--matrix names the devices; it cannot go with --system or --screen");
    PictureTestOptions run;
    run.places = options.places;
    run.matrix = {options.matrix, splitList(options.systems), splitList(options.screens)};
    run.update = options.update;
    unsigned processors = std::thread::hardware_concurrency();
    run.jobs = options.jobs > 0 ? options.jobs : static_cast<int>(processors > 0 ? processors : 1);
    run.timeLimit = options.timeout;
    run.tolerance = options.tolerance.empty() ? Tolerance{} : *parseTolerance(options.tolerance);
    run.junit = options.junit;
    run.report = options.report;
    std::string usageProblem;
    int status = runPictureTest(run, usageProblem);
    if (status == 2)
        return CommandLine::usageError(command, usageProblem);
    return status;
}
