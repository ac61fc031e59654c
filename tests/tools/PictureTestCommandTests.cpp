#include "platform/graphics/PNGEncoder.h"
#include "tests/support/XmlReader.h"
#include "tests/tools/PictureSuite.h"
#include "tools/picturetest/PictureComparison.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <set>

namespace {

constexpr const char* oneCell = "14.4 187x406@1\n";
constexpr const char* twoCells = "12.4 187x406@1\n14.4 187x406@1\n";

using Pixel = std::pair<int, int>;

std::set<Pixel> differing(const Bitmap& a, const Bitmap& b) {
    std::set<Pixel> pixels;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                pixels.insert({x, y});
    return pixels;
}

// Each "BEFORE<digits and dots>AFTER" in text (a number of at least one digit) becomes by.
std::string replaceNumbers(const std::string& text, const std::string& before, const std::string& after,
                           const std::string& by) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        size_t start = text.find(before, at);
        if (before.empty())
            start = text.find_first_of("0123456789", at);
        if (start == std::string::npos)
            break;
        size_t digits = start + before.size(), end = digits;
        while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.'))
            ++end;
        bool number = end > digits && std::isdigit(static_cast<unsigned char>(text[digits]));
        if (number && text.compare(end, after.size(), after) == 0) {
            out += text.substr(at, start - at) + by;
            at = end + after.size();
        } else {
            out += text.substr(at, start - at + std::max<size_t>(1, before.size()));
            at = start + std::max<size_t>(1, before.size());
        }
    }
    return out + text.substr(std::min(at, text.size()));
}

// The output without what differs from run to run: timings and the report folder's name.
std::string comparable(std::string text, const std::string& report) {
    text = replaceNumbers(text, "(", " s)", "(time)");
    text = replaceNumbers(text, "time=\"", "\"", "time=\"\"");
    text = replaceNumbers(text, "", " at once", "N at once");
    for (size_t at; (at = text.find(report)) != std::string::npos;)
        text.replace(at, report.size(), "REPORT");
    return text;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace

TEST(PictureTestCommand, AnUpdateMakesTheExpectedPicturesAndThenTheRunsPass) {
    PictureSuite suite;
    suite.write("cases/lock.springboard", lockScript);
    suite.write("cases/pages.settings", pageScript);
    suite.write("cases/matrix", twoCells);

    CommandRun first = suite.test();
    EXPECT_EQ(first.status, 1) << first.output;
    EXPECT_TRUE(
        first.says("FAIL  cases/lock [12.4 187x406@1]\n      lock.png: new picture: run with --update"))
        << first.output;
    EXPECT_TRUE(first.says("4 runs: 0 passed, 4 failed")) << first.output;

    CommandRun update = suite.test("--update");
    EXPECT_EQ(update.status, 0) << update.output;
    EXPECT_TRUE(update.says("new picture cases/pages/14.4-187x406@1/zorvi.png")) << update.output;
    EXPECT_TRUE(update.says("4 pictures updated")) << update.output;
    std::optional<Bitmap> expected = suite.picture("cases/lock/12.4-187x406@1/lock.png");
    ASSERT_TRUE(expected);
    EXPECT_EQ(expected->width(), 187);
    EXPECT_EQ(expected->height(), 406);

    CommandRun again = suite.test();
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_TRUE(again.says("ok    cases/pages [12.4 187x406@1]")) << again.output;
    EXPECT_TRUE(again.says("4 runs: 4 passed, 0 failed")) << again.output;

    // Nothing changed, so an update changes nothing.
    CommandRun unchanged = suite.test("--update");
    EXPECT_EQ(unchanged.status, 0);
    EXPECT_TRUE(unchanged.says("0 pictures updated")) << unchanged.output;
    EXPECT_FALSE(unchanged.says("changed")) << unchanged.output;
}

TEST(PictureTestCommand, AChangedWaveColourFailsWithADiffOfExactlyTheWavesChangedPixels) {
    PictureSuite suite;
    suite.write("cases/matrix", oneCell);
    suite.write("cases/colours.boot", customColourScript("FFFF3B30"));
    ASSERT_EQ(suite.test("--update").status, 0);

    suite.write("cases/colours.boot", customColourScript("FFFFCC00"));
    CommandRun changed = suite.test("--report report");
    EXPECT_EQ(changed.status, 1) << changed.output;
    std::string run = "report/colours/14.4-187x406@1/";
    std::optional<Bitmap> expected = suite.picture(run + "colours.expected.png");
    std::optional<Bitmap> actual = suite.picture(run + "colours.actual.png");
    std::optional<Bitmap> diff = suite.picture(run + "colours.diff.png");
    ASSERT_TRUE(expected && actual && diff) << changed.output;
    std::set<Pixel> changedPixels = differing(*expected, *actual);
    std::set<Pixel> marked;
    for (int y = 0; y < diff->height(); ++y)
        for (int x = 0; x < diff->width(); ++x)
            if (diff->pixel(x, y) == diffMark)
                marked.insert({x, y});
    ASSERT_FALSE(changedPixels.empty());
    EXPECT_EQ(marked, changedPixels);
    // Only the waves changed: every marked pixel is in their strip along the bottom, 55 points high.
    for (const Pixel& pixel : marked)
        EXPECT_GE(pixel.second, 406 - 55) << pixel.first << "," << pixel.second;
    EXPECT_TRUE(
        changed.says("colours.png: " + std::to_string(changedPixels.size()) + " pixels differ, within "))
        << changed.output;
    EXPECT_TRUE(changed.says("diff     " + suite.path() + "/" + run + "colours.diff.png")) << changed.output;
    // The expected picture itself is untouched by a failing run.
    std::optional<Bitmap> kept = suite.picture("cases/colours/14.4-187x406@1/colours.png");
    ASSERT_TRUE(kept);
    EXPECT_TRUE(differing(*kept, *expected).empty());

    // A tolerance lets through what it says and no more.
    std::string count = std::to_string(changedPixels.size());
    EXPECT_EQ(suite.test("--tolerance 255").status, 0);
    EXPECT_EQ(suite.test("--tolerance 0," + count).status, 0);
    EXPECT_EQ(suite.test("--tolerance 0," + std::to_string(changedPixels.size() - 1)).status, 1);

    CommandRun update = suite.test("--update");
    EXPECT_EQ(update.status, 0);
    EXPECT_TRUE(update.says("changed cases/colours/14.4-187x406@1/colours.png: " + count + " pixels differ"))
        << update.output;
    EXPECT_EQ(suite.test().status, 0);
}

TEST(PictureTestCommand, AMissingCorruptOrResizedExpectedPictureFailsItsOwnCaseOnly) {
    PictureSuite suite;
    suite.write("cases/matrix", oneCell);
    suite.write("cases/lock.springboard", lockScript);
    suite.write("cases/pages.settings", pageScript);
    suite.write("cases/second.springboard", "appear\ntick 40\nsnapshot later.png\n");
    suite.write("cases/untouched.springboard", lockScript);
    ASSERT_EQ(suite.test("--update").status, 0);

    std::filesystem::remove(suite.path() + "/cases/lock/14.4-187x406@1/lock.png");
    suite.write("cases/pages/14.4-187x406@1/zorvi.png", "not a picture");
    ASSERT_TRUE(
        writePNGFile(*Bitmap::create(10, 20), suite.path() + "/cases/second/14.4-187x406@1/later.png"));

    CommandRun run = suite.test();
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.says("FAIL  cases/lock [14.4 187x406@1]\n      lock.png: new picture: run with --update"))
        << run.output;
    EXPECT_TRUE(run.says("FAIL  cases/pages [14.4 187x406@1]\n"
                         "      zorvi.png: the expected picture cannot be read: not a PNG file"))
        << run.output;
    EXPECT_TRUE(run.says("FAIL  cases/second [14.4 187x406@1]\n"
                         "      later.png: the expected picture is 10x20, the run's is 187x406"))
        << run.output;
    EXPECT_TRUE(run.says("ok    cases/untouched [14.4 187x406@1]")) << run.output;
    EXPECT_TRUE(run.says("4 runs: 1 passed, 3 failed")) << run.output;
}

TEST(PictureTestCommand, AScriptErrorFailsTheCaseWithItsLineAndIsNeverAccepted) {
    PictureSuite suite;
    suite.write("cases/matrix", oneCell);
    suite.write("cases/broken.springboard", "appear\nfrobnicate 3\nsnapshot shot.png\n");
    suite.write("cases/bad-name.springboard", "appear\nsnapshot /tmp/elsewhere.png\n");
    CommandRun run = suite.test("--update");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.says(
        "FAIL  cases/broken [14.4 187x406@1]\n      line 2: cannot run 'frobnicate' with 1 argument(s)"))
        << run.output;
    EXPECT_TRUE(
        run.says("FAIL  cases/bad-name [14.4 187x406@1]\n      line 2: snapshot /tmp/elsewhere.png: a test's "
                 "snapshot is a bare name"))
        << run.output;
    EXPECT_FALSE(std::filesystem::exists(suite.path() + "/cases/broken/14.4-187x406@1/shot.png"));
}

TEST(PictureTestCommand, ARunPastItsTimeIsEndedAndFailsWhileTheOthersGoOn) {
    PictureSuite suite;
    suite.write("cases/matrix", oneCell);
    suite.write("cases/stuck.springboard", "appear\npause 300000\nsnapshot shot.png\n");
    suite.write("cases/quick.springboard", "appear\nsnapshot shot.png\n");
    auto started = std::chrono::steady_clock::now();
    CommandRun run = suite.test("--update --timeout 8");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(run.status, 1);
    EXPECT_LT(seconds, 45) << "the stuck run was waited for";
    EXPECT_TRUE(run.says("FAIL  cases/stuck [14.4 187x406@1]")) << run.output;
    EXPECT_TRUE(run.says("took longer than 8 s and was ended")) << run.output;
    EXPECT_TRUE(std::filesystem::exists(suite.path() + "/cases/quick/14.4-187x406@1/shot.png")) << run.output;
}

TEST(PictureTestCommand, AnInterruptEndsTheRunsAndLeavesNothingBehind) {
    PictureSuite suite;
    suite.write("cases/matrix", oneCell);
    suite.write("cases/stuck.springboard", "appear\npause 30000\nsnapshot shot.png\n");
    std::string output;
    int status = runCommand("sh -c 'cd " + suite.path() + " && TMPDIR=" + suite.path() + "/tmp " + ZV_ZORVI +
                                " test cases & pid=$!; sleep 3; kill -INT $pid; wait $pid; echo status=$?'",
                            output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("interrupted"), std::string::npos) << output;
    EXPECT_NE(output.find("status=130"), std::string::npos) << output;
    EXPECT_TRUE(std::filesystem::is_empty(suite.path() + "/tmp")) << "the runs' folder was left behind";
    std::string left;
    // (the brackets keep pgrep's own command line from matching)
    runCommand("pgrep -f 'zv-[s]pringboard.*" + suite.path() + "'", left);
    EXPECT_EQ(left, "") << "a host of the run is still running";
}

TEST(PictureTestCommand, ReportsNameEveryRunAndTwoJobsGiveWhatOneGives) {
    PictureSuite suite;
    suite.write("cases/matrix", twoCells);
    suite.write("cases/lock.springboard", lockScript);
    suite.write("cases/pages.settings", pageScript);
    suite.write("cases/broken.settings", "open Nowhere\nsnapshot page.png\n");
    ASSERT_EQ(suite.test("--update").status, 1);
    std::filesystem::remove(suite.path() + "/cases/pages/12.4-187x406@1/zorvi.png");

    CommandRun one = suite.zorvi("test cases --jobs 1 --junit one.xml --report one");
    CommandRun two = suite.zorvi("test cases --jobs 2 --junit two.xml --report two");
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(two.status, 1);
    EXPECT_EQ(comparable(one.output, "one"), comparable(two.output, "two"));
    std::string junit = readFile(suite.path() + "/one.xml");
    EXPECT_EQ(comparable(junit, "one"), comparable(readFile(suite.path() + "/two.xml"), "two"));

    std::optional<XmlElement> root = XmlReader::parse(junit);
    ASSERT_TRUE(root) << junit;
    EXPECT_EQ(root->name, "testsuites");
    EXPECT_EQ(root->attribute("tests"), "6");
    EXPECT_EQ(root->attribute("failures"), "3");
    size_t testcases = 0, failures = 0, suiteTests = 0, suiteFailures = 0;
    std::set<std::string> suites;
    for (const XmlElement* testsuite : root->named("testsuite")) {
        suites.insert(testsuite->attribute("name"));
        suiteTests += std::stoul(testsuite->attribute("tests"));
        suiteFailures += std::stoul(testsuite->attribute("failures"));
        for (const XmlElement* testcase : testsuite->named("testcase")) {
            ++testcases;
            failures += testcase->named("failure").size();
            EXPECT_EQ(testcase->attribute("classname"), testsuite->attribute("name"));
        }
    }
    EXPECT_EQ(suites, (std::set<std::string>{"cases/broken", "cases/lock", "cases/pages"}));
    EXPECT_EQ(testcases, 6u);
    EXPECT_EQ(failures, 3u);
    EXPECT_EQ(suiteTests, 6u);
    EXPECT_EQ(suiteFailures, 3u);

    std::string html = readFile(suite.path() + "/one/index.html");
    for (const char* name :
         {"cases/broken [12.4 187x406@1]", "cases/broken [14.4 187x406@1]", "cases/lock [12.4 187x406@1]",
          "cases/lock [14.4 187x406@1]", "cases/pages [12.4 187x406@1]", "cases/pages [14.4 187x406@1]"})
        EXPECT_NE(html.find(name), std::string::npos) << name;
    // Failures first; the pictures are inside the page, nothing comes from elsewhere.
    EXPECT_LT(html.rfind("class=\"fail\""), html.find("class=\"pass\""));
    EXPECT_NE(html.find("src=\"data:image/png;base64,"), std::string::npos);
    EXPECT_EQ(html.find("http"), std::string::npos);
    EXPECT_EQ(html.find("src=\"/"), std::string::npos);
}

TEST(PictureTestCommand, BadCommandLinesAreUsageErrors) {
    PictureSuite suite;
    suite.write("cases/lock.springboard", lockScript);
    suite.write("empty/notes.txt", "no cases here");
    suite.write("bad/matrix", "14.4\n");
    suite.write("bad/lock.springboard", lockScript);
    for (const auto& [words, says] : std::vector<std::pair<std::string, std::string>>{
             {"test missing", "no such folder: missing"},
             {"test empty", "no test cases in empty"},
             {"test bad", "bad/matrix:1: a line is a system and a screen"},
             {"test cases --matrix bad/matrix --system 14.4", "cannot go with --system"},
             {"test cases --tolerance 300", "not a tolerance: 300"},
             {"test cases --system 14.4,5.0", "not a system version: 5.0"},
             {"test cases --jobs 0", "--jobs"},
             {"matrix cases/lock.springboard sheet.jpg", "must end in .png"},
             {"matrix cases/matrix sheet.png", "must end in .springboard"},
         }) {
        CommandRun run = suite.zorvi(words);
        EXPECT_EQ(run.status, 2) << words << ": " << run.output;
        EXPECT_TRUE(run.says(says)) << words << ": " << run.output;
    }
}
