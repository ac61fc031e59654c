#include "tools/picturetest/DeviceMatrix.h"
#include "tools/picturetest/PictureComparison.h"
#include "tools/picturetest/TestCases.h"
#include "tools/picturetest/TraceErrors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

Bitmap filled(int width, int height, uint32_t pixel) {
    Bitmap bitmap = *Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.setPixel(x, y, pixel);
    return bitmap;
}

// A folder of its own for files a test writes, removed after.
struct Scratch {
    std::string path;
    Scratch() {
        char pattern[] = "/tmp/zorvi-picture-unit-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path + "/" + name) << text;
        return path + "/" + name;
    }
};

} // namespace

TEST(PictureComparison, CountsTheDifferingPixelsAndTheirBox) {
    Bitmap expected = filled(20, 12, 0xFF336699);
    EXPECT_EQ(comparePictures(expected, expected, 0).pixels, 0);

    Bitmap actual = expected;
    actual.setPixel(3, 4, 0xFF336698);
    actual.setPixel(10, 7, 0xFF000000);
    actual.setPixel(5, 9, 0xFE336699);
    PictureDifference difference = comparePictures(expected, actual, 0);
    EXPECT_EQ(difference.pixels, 3);
    EXPECT_EQ(difference.left, 3);
    EXPECT_EQ(difference.top, 4);
    EXPECT_EQ(difference.right, 11);
    EXPECT_EQ(difference.bottom, 10);
}

TEST(PictureComparison, TheChannelToleranceIsPerChannelAndInclusive) {
    Bitmap expected = filled(4, 4, 0xFF808080);
    Bitmap actual = expected;
    actual.setPixel(0, 0, 0xFF828080); // red +2
    actual.setPixel(1, 0, 0xFF807E80); // green -2
    actual.setPixel(2, 0, 0xFF808083); // blue +3
    actual.setPixel(3, 0, 0xFC808080); // alpha -3
    EXPECT_EQ(comparePictures(expected, actual, 2).pixels, 2);
    EXPECT_EQ(comparePictures(expected, actual, 3).pixels, 0);
    EXPECT_EQ(comparePictures(expected, actual, 1).pixels, 4);
}

TEST(PictureComparison, TheDiffMarksExactlyTheDifferingPixelsOverAFadedCopy) {
    Bitmap expected = *Bitmap::create(16, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            expected.setPixel(
                x, y, 0xFF000000u | static_cast<uint32_t>(x * 16) << 16 | static_cast<uint32_t>(y * 32));
    Bitmap actual = expected;
    actual.setPixel(2, 2, 0xFFFF0000);
    actual.setPixel(15, 7, 0xFF00FF00);
    actual.setPixel(8, 1, expected.pixel(8, 1) + 1); // within a tolerance of 1
    actual.setPixel(4, 5, expected.pixel(4, 5) + 2); // just beyond it
    Bitmap diff = diffPicture(expected, actual, 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            bool marked = diff.pixel(x, y) == diffMark;
            bool differs = (x == 2 && y == 2) || (x == 15 && y == 7) || (x == 4 && y == 5);
            EXPECT_EQ(marked, differs) << x << "," << y;
            // The faded copy is opaque grey, light enough for the marks to stand out.
            uint32_t pixel = diff.pixel(x, y);
            if (!marked) {
                EXPECT_EQ(pixel >> 24, 0xFFu);
                EXPECT_EQ((pixel >> 16) & 0xFF, pixel & 0xFF);
                EXPECT_GE(pixel & 0xFF, 170u);
            }
        }
}

TEST(PictureTestInput, TraceErrorsAreTheErrorEventsWithTheirProcess) {
    Scratch scratch;
    std::string trace =
        scratch.write("trace.jsonl", "{\"event\":\"ready\",\"t\":0}\n"
                                     "{\"event\":\"error\",\"t\":5,\"message\":\"line 2: cannot run 'tap' "
                                     "with \\\"9\\\" \\u00e9\\ud83d\\ude00\"}\n"
                                     "{\"event\":\"log\",\"t\":6,\"message\":\"error-like text\"}\n"
                                     "{\"event\":\"error\",\"t\":7,\"process\":\"supervisor\",\"message\":"
                                     "\"line 4: settings is not running\"}\n");
    std::vector<std::string> errors = traceErrors(trace);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "line 2: cannot run 'tap' with \"9\" \xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(errors[1], "supervisor: line 4: settings is not running");
}

TEST(PictureTestInput, SnapshotsAreBareDistinctPngNames) {
    Scratch scratch;
    TestCase lock =
        readTestCase(scratch.write("lock.springboard", "appear\nsnapshot a.png # first\n"
                                                       "# snapshot commented.png\nsnapshot b.png\n"));
    EXPECT_EQ(lock.problem, "");
    EXPECT_EQ(lock.pictures, (std::vector<std::string>{"a.png", "b.png"}));
    EXPECT_EQ(lock.expectedFolder("14.4-375x812@3"), scratch.path + "/lock/14.4-375x812@3");

    TestCase boot =
        readTestCase(scratch.write("whole.boot", "springboard: snapshot s.png\nsettings: snapshot t.png\n"
                                                 "snapshot not-a-process-line.png\n"));
    EXPECT_EQ(boot.host, CaseHost::Boot);
    EXPECT_EQ(boot.pictures, (std::vector<std::string>{"s.png", "t.png"}));

    for (const auto& [script, says] : std::vector<std::pair<std::string, std::string>>{
             {"snapshot ../out.png\n", "line 1: snapshot ../out.png: a test's snapshot is a bare name"},
             {"tick\nsnapshot shot.jpg\n", "line 2: snapshot shot.jpg"},
             {"snapshot a.png\nsnapshot a.png\n", "line 2: snapshot a.png: the picture is taken twice"},
             {"snapshot a.diff.png\n", "the runner's own"},
         }) {
        TestCase bad = readTestCase(scratch.write("bad.settings", script));
        EXPECT_NE(bad.problem.find(says), std::string::npos) << script << ": " << bad.problem;
    }
}

TEST(PictureTestInput, MatrixFilesNameTheirBadLine) {
    Scratch scratch;
    std::vector<MatrixCell> cells;
    std::string error;
    ASSERT_TRUE(readMatrixFile(
        scratch.write("good", "# devices\n12.4 187x406@1\n\n14.4   375x812@3/120  # tall\n"), cells, error))
        << error;
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0].label(), "12.4 187x406@1");
    EXPECT_EQ(cells[1].folderName(), "14.4-375x812@3-120Hz");

    for (const auto& [text, says] : std::vector<std::pair<std::string, std::string>>{
             {"12.4 187x406@1\n14.4\n", "bad:2: a line is a system and a screen"},
             {"5.1 187x406@1\n", "bad:1: not a system version: 5.1"},
             {"14.4 big\n", "bad:1: not a screen: big"},
             {"14.4 1x2@3 extra\n", "bad:1:"},
             {"14.4 187x406@1\n14.4 187x406@1\n", "bad:2: 14.4 187x406@1 comes twice"},
             {"# nothing\n", "names no device"},
         }) {
        cells.clear();
        EXPECT_FALSE(readMatrixFile(scratch.write("bad", text), cells, error)) << text;
        EXPECT_NE(error.find(says), std::string::npos) << error;
    }
    EXPECT_EQ(crossMatrix({"12.4", "14.4"}, {"a", "b", "a"}).size(), 4u);
}
