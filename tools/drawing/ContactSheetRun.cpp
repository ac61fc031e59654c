// zorvi matrix's work: the script run on a fresh device of each cell, and its last snapshot from
// each put into one contact sheet.

#include "hosts/common/CommandLine.h"
#include "platform/graphics/PNGEncoder.h"
#include "tools/Commands.h"
#include "tools/DrawingCommands.h"
#include "tools/picturetest/CaseRunner.h"
#include "tools/picturetest/ContactSheet.h"
#include "tools/picturetest/PictureFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

int zv_drawMatrix(const CLI::App& command, const MatrixOptions& options) {
    if (std::filesystem::path(options.out).extension() != ".png")
        return CommandLine::usageError(command,
                                       "the contact sheet is a PNG: " + options.out + " must end in .png");
    if (!caseHostForPath(options.script))
        return CommandLine::usageError(
            command, options.script + ": the script's name must end in .springboard, .settings or "
                                      ".boot (the host it runs on)");
    std::vector<TestCase> cases{readTestCase(options.script)};
    if (!cases[0].problem.empty())
        return commandFailure(command, options.script + ": " + cases[0].problem);
    if (cases[0].pictures.empty())
        return commandFailure(command, options.script + " takes no snapshot");
    std::vector<MatrixCell> cells = crossMatrix(splitList(options.systems), splitList(options.screens));
    // The sheet's columns are the distinct screens: a screen named twice is one device.
    std::set<std::string> screens;
    for (const MatrixCell& cell : cells)
        screens.insert(cell.screen);

    std::string work = (std::filesystem::temp_directory_path() / "zorvi-matrix-XXXXXX").string();
    if (!::mkdtemp(work.data()))
        return commandFailure(command, "cannot make a folder for the runs");
    std::vector<PlannedRun> runs;
    for (size_t i = 0; i < cells.size(); ++i) {
        std::string folder = work + "/" + cells[i].folderName();
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        runs.push_back({0, cells[i], folder});
    }
    unsigned processors = std::thread::hardware_concurrency();
    CaseRunner runner(cases, work, static_cast<int>(processors > 0 ? processors : 1), defaultRunTimeLimit);
    std::vector<std::vector<std::string>> problems(runs.size());
    runner.run(runs, [&problems](size_t run, CaseRun result) { problems[run] = std::move(result.problems); });

    // The script's last snapshot on each device, row by row.
    const std::string& picture = cases[0].pictures.back();
    std::vector<SheetEntry> entries;
    bool failed = false;
    for (size_t i = 0; i < runs.size(); ++i) {
        SheetEntry entry;
        entry.label = cells[i].label();
        PictureFile file = readPictureFile(runs[i].folder + "/" + picture);
        std::string error = file.error;
        if (file.status == PictureFile::Status::Read)
            entry.picture = decodePicture(file.bytes, error);
        for (const std::string& problem : problems[i])
            std::fprintf(stderr, "zorvi matrix: %s: %s\n", entry.label.c_str(), problem.c_str());
        if (!entry.picture) {
            std::fprintf(stderr, "zorvi matrix: %s: no %s%s\n", entry.label.c_str(), picture.c_str(),
                         error.empty() ? "" : (" (" + error + ")").c_str());
            failed = true;
        }
        failed = failed || !problems[i].empty();
        entries.push_back(std::move(entry));
    }
    std::error_code ignored;
    std::filesystem::remove_all(work, ignored);

    Bitmap sheet = ContactSheet::draw(entries, static_cast<int>(screens.size()));
    std::string error;
    if (!writePNGFile(sheet, options.out, &error))
        return commandFailure(command, "cannot write " + options.out + ": " + error);
    std::printf("wrote %s: %s on %zu devices, %dx%d pixels\n", options.out.c_str(), picture.c_str(),
                cells.size(), sheet.width(), sheet.height());
    return failed ? 1 : 0;
}
