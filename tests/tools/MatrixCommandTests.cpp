#include "platform/ui/TextImage.h"
#include "tests/tools/PictureSuite.h"
#include "tools/picturetest/ContactSheet.h"

#include <cmath>

namespace {

// The sheet's pixel where the label's pixel, drawn over the sheet's background, would be.
uint32_t over(uint32_t text, uint32_t background) {
    uint32_t alpha = text >> 24;
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t channel =
            ((text >> shift) & 0xFF) + (((background >> shift) & 0xFF) * (255 - alpha) + 127) / 255;
        result |= std::min(channel, 255u) << shift;
    }
    return result;
}

bool near(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 1)
            return false;
    return true;
}

} // namespace

TEST(MatrixCommand, TheContactSheetHasEachDevicesPictureAtACommonHeightOverItsLabel) {
    PictureSuite suite;
    suite.write("cases/lock.springboard", std::string("appear\ntick 10\nsnapshot first.png\n") + lockScript);
    // The same pictures as expected pictures, to hold the sheet's against.
    CommandRun expected = suite.test("--update --system 12.4,14.4 --screen 160x284@1,187x406@1");
    ASSERT_EQ(expected.status, 0) << expected.output;

    CommandRun run = suite.zorvi(
        "matrix cases/lock.springboard sheet.png --system 12.4,14.4 --screen 160x284@1,187x406@1");
    ASSERT_EQ(run.status, 0) << run.output;
    std::optional<Bitmap> sheet = suite.picture("sheet.png");
    ASSERT_TRUE(sheet);

    // Systems down, screens across; every picture scaled to the tallest's 406 rows.
    using namespace ContactSheet;
    int height = 406;
    int narrow = static_cast<int>(std::lround(160.0 * height / 284));
    int rowHeight = height + labelGap + labelBand + margin;
    EXPECT_EQ(sheet->width(), margin + narrow + margin + 187 + margin);
    EXPECT_EQ(sheet->height(), margin + 2 * rowHeight);
    EXPECT_TRUE(run.says("lock.png on 4 devices")) << run.output;

    // The script's last snapshot, unscaled where it already has the common height.
    for (int row = 0; row < 2; ++row) {
        std::string system = row == 0 ? "12.4" : "14.4";
        std::optional<Bitmap> shot = suite.picture("cases/lock/" + system + "-187x406@1/lock.png");
        ASSERT_TRUE(shot);
        int left = margin + narrow + margin, top = margin + row * rowHeight;
        long differing = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < 187; ++x)
                differing += sheet->pixel(left + x, top + y) != shot->pixel(x, y);
        EXPECT_EQ(differing, 0) << system;
    }

    // Each label, in the sheet's font, under its picture.
    int column = 0;
    for (const char* label : {"12.4 160x284@1", "12.4 187x406@1", "14.4 160x284@1", "14.4 187x406@1"}) {
        int left = column % 2 == 0 ? margin : margin + narrow + margin;
        int top = margin + (column / 2) * rowHeight + height + labelGap;
        ++column;
        std::optional<Bitmap> text = textBitmap(label, labelFont, 1, CGColor{0.15, 0.15, 0.15, 1});
        ASSERT_TRUE(text);
        long ink = 0, wrong = 0;
        for (int y = 0; y < std::min(text->height(), labelBand); ++y)
            for (int x = 0; x < text->width(); ++x) {
                uint32_t want = over(text->pixel(x, y), background);
                uint32_t got = sheet->pixel(left + x, top + y);
                ink += got != background;
                wrong += !near(got, want);
            }
        EXPECT_GT(ink, 50) << label;
        EXPECT_EQ(wrong, 0) << label;
    }
}

TEST(MatrixCommand, ASystemOrScreenNamedTwiceIsOneRowOrColumn) {
    PictureSuite suite;
    suite.write("cases/lock.springboard", lockScript);
    CommandRun run = suite.zorvi(
        "matrix cases/lock.springboard sheet.png --system 14.4,14.4 --screen 160x284@1,160x284@1");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(run.says("lock.png on 1 device")) << run.output;
    std::optional<Bitmap> sheet = suite.picture("sheet.png");
    ASSERT_TRUE(sheet);
    using namespace ContactSheet;
    // One picture at its own size, with no empty column beside it.
    EXPECT_EQ(sheet->width(), margin + 160 + margin);
    EXPECT_EQ(sheet->height(), margin + 284 + labelGap + labelBand + margin);
}
