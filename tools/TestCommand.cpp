// zorvi test: the pictures of scripted runs held against the expected pictures kept beside the
// scripts, across a matrix of devices (tools/picturetest does the work).

#include "hosts/common/CommandLine.h"
#include "tools/Commands.h"
#include "tools/DrawingCommands.h"

#include <memory>

namespace {

constexpr int mostJobs = 64;

} // namespace

std::optional<Tolerance> parseTolerance(const std::string& text) {
    Tolerance tolerance;
    size_t comma = text.find(',');
    std::string channel = text.substr(0, comma);
    std::string pixels = comma == std::string::npos ? "0" : text.substr(comma + 1);
    auto number = [](const std::string& word, long most) -> std::optional<long> {
        if (word.empty() || word.size() > 10 || word.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        long value = std::stol(word);
        return value <= most ? std::optional<long>(value) : std::nullopt;
    };
    auto c = number(channel, 255);
    auto n = number(pixels, 1L << 30);
    if (!c || !n)
        return std::nullopt;
    tolerance.channel = static_cast<int>(*c);
    tolerance.pixels = *n;
    return tolerance;
}

void addTestCommand(Commands& commands) {
    auto options = std::make_shared<TestOptions>();
    CLI::App* testCommand =
        commands.add(commands.program(), "test",
                     "runs each test case (NAME.springboard, NAME.settings, NAME.boot) of the folders on a "
                     "fresh device of each cell of the matrix and compares its snapshots with the expected "
                     "pictures beside it (NAME/CELL/); a folder's own file named matrix is its matrix when "
                     "none is given",
                     [options](const CLI::App& command) { return RUN_DRAWING(zv_runPictureTests, command, *options); });
    testCommand->add_option("--matrix", options->matrix, "a file of devices, a system and a screen a line")
        ->type_name("FILE");
    testCommand
        ->add_option("--system", options->systems, "system versions, such as 12.4,14.4 (default: 14.4)")
        ->type_name("LIST")
        ->check(listCheck(systemVersionProblem));
    testCommand
        ->add_option("--screen", options->screens,
                     "screens, such as 187x406@1,375x667@1 (default: 375x812@3)")
        ->type_name("LIST")
        ->check(listCheck(screenProblem));
    testCommand->add_flag(
        "--update", options->update,
        "makes the pictures the runs take the expected ones (new and changed), and says which");
    testCommand->add_option("--jobs", options->jobs, "runs up to N at once (default: one per processor)")
        ->type_name("N")
        ->check(CLI::Range(1, mostJobs).description(""));
    testCommand
        ->add_option("--timeout", options->timeout, "seconds a run may take before it fails (default: 300)")
        ->type_name("S")
        ->check(CLI::Range(1u, 86400u).description(""));
    testCommand
        ->add_option(
            "--tolerance", options->tolerance,
            "C or C,N: pixels whose channels differ by at most C are the same, and up to N others may "
            "differ (default: 0,0, exact)")
        ->type_name("T")
        ->check(CLI::Validator(
            [](std::string& text) {
                return parseTolerance(text) ? std::string()
                                            : "not a tolerance: " + text + " (C or C,N: C from 0 to 255)";
            },
            ""));
    testCommand->add_option("--junit", options->junit, "writes the results as JUnit XML")->type_name("FILE");
    testCommand
        ->add_option("--report", options->report,
                     "keeps every run's pictures here and writes index.html, one page with all of them")
        ->type_name("DIR");
    testCommand->add_option("DIR", options->places, "folders of test cases (or case files)")->required();
}
