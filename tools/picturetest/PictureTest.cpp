#include "tools/picturetest/PictureTest.h"
#include "hosts/common/Interruption.h"
#include "platform/foundation/OutputFile.h"
#include "tools/picturetest/CaseRunner.h"
#include "tools/picturetest/HtmlReport.h"
#include "tools/picturetest/JUnitReport.h"
#include "tools/picturetest/TestProgress.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <unistd.h>

namespace {

bool writeReport(const std::string& path, const std::string& text) {
    std::string error;
    if (OutputFile::write(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), error))
        return true;
    std::fprintf(stderr, "zorvi test: cannot write %s: %s\n", path.c_str(), error.c_str());
    return false;
}

// The folder the runs write into: the report's, or a new one of their own.
std::string workFolder(const std::string& report) {
    std::error_code error;
    // Absolute: each run works in a folder of its own.
    if (!report.empty()) {
        std::filesystem::create_directories(report, error);
        std::filesystem::path full = std::filesystem::absolute(report, error);
        return error ? "" : full.lexically_normal().string();
    }
    std::string folder = (std::filesystem::temp_directory_path(error) / "zorvi-test-XXXXXX").string();
    return ::mkdtemp(folder.data()) ? folder : "";
}

std::string plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

int runPictureTest(const PictureTestOptions& options, std::string& usageProblem) {
    auto started = std::chrono::steady_clock::now();
    std::vector<TestCase> cases;
    if (!findTestCases(options.places, cases, usageProblem))
        return 2;
    std::map<std::string, std::vector<MatrixCell>> cellsOfFolder;
    for (const TestCase& testCase : cases) {
        if (cellsOfFolder.count(testCase.folder))
            continue;
        if (!matrixForFolder(options.matrix, testCase.folder, cellsOfFolder[testCase.folder], usageProblem))
            return 2;
    }
    std::string work = workFolder(options.report);
    if (work.empty()) {
        std::fprintf(stderr, "zorvi test: cannot make a folder for the runs\n");
        return 1;
    }

    // Each run's folder: WORK/CASE/CELL, a case's name made unique among the folders named.
    std::vector<PlannedRun> runs;
    std::set<std::string> ids;
    std::set<std::string> cells;
    for (size_t c = 0; c < cases.size(); ++c) {
        std::string id = cases[c].name;
        for (int n = 2; !ids.insert(id).second; ++n)
            id = cases[c].name + "-" + std::to_string(n);
        for (const MatrixCell& cell : cellsOfFolder[cases[c].folder]) {
            std::string folder = work + "/" + id + "/" + cell.folderName();
            std::error_code error;
            std::filesystem::remove_all(folder, error);
            std::filesystem::create_directories(folder, error);
            runs.push_back({c, cell, folder});
            cells.insert(cell.label());
        }
    }
    std::printf("%s on %s: %s, %d at once\n", plural(cases.size(), "case", "cases").c_str(),
                plural(cells.size(), "device", "devices").c_str(), plural(runs.size(), "run", "runs").c_str(),
                options.jobs);

    TestProgress progress(cases, runs.size(), ::isatty(STDERR_FILENO) ? stderr : nullptr);
    // Ctrl-C ends the runs and removes what they made rather than leaving it behind.
    Interruption interruption;
    CaseRunner runner(cases, work, options.jobs, options.timeLimit);
    runner.run(runs, [&](size_t index, CaseRun run) {
        const PlannedRun& planned = runs[index];
        progress.add(index, judgeRun(cases[planned.caseIndex], planned, std::move(run), options.tolerance,
                                     options.update));
    });
    progress.finish();
    if (Interruption::requested()) {
        std::printf("interrupted\n");
        std::error_code error;
        if (options.report.empty())
            std::filesystem::remove_all(work, error);
        return 130;
    }

    std::vector<RunResult> results;
    size_t updated = 0;
    for (const auto& result : progress.results())
        if (result) {
            updated += result->updates.size();
            results.push_back(*result);
        }
    size_t failed = progress.failed();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s: %zu passed, %zu failed", plural(results.size(), "run", "runs").c_str(),
                results.size() - failed, failed);
    if (options.update)
        std::printf("; %s updated", plural(updated, "picture", "pictures").c_str());
    std::printf(" (%.1f s)\n", seconds);

    bool written = true;
    if (!options.junit.empty())
        written = writeReport(options.junit, junitReport(cases, results, seconds)) && written;
    if (!options.report.empty()) {
        std::string page = options.report + "/index.html";
        if (writeReport(page, htmlReport(cases, results)))
            std::printf("report: %s\n", page.c_str());
        else
            written = false;
    } else if (failed > 0) {
        std::printf("pictures of the failures: %s\n", work.c_str());
    } else {
        std::error_code error;
        std::filesystem::remove_all(work, error);
    }
    return failed > 0 || !written ? 1 : 0;
}
