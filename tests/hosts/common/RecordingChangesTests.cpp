// GIF and APNG recordings write only what changed from frame to frame: the files' own frame
// rectangles are read, and the frames a player composes from them are compared with the pictures
// they were made from.

#include "hosts/common/VideoFile.h"
#include "platform/graphics/Bitmap.h"
#include "tests/support/VideoReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Rect {
    int x, y, width, height;
    bool operator==(const Rect&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << r.x << "," << r.y << " " << r.width << "x" << r.height;
}

class Scratch {
public:
    Scratch() {
        char pattern[] = "/tmp/zorvi-changes-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

using Painter = std::function<uint32_t(int frame, int x, int y)>;

Bitmap paint(int width, int height, int frame, const Painter& painter) {
    auto bitmap = Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap->row(y)[x] = painter(frame, x, y);
    return std::move(*bitmap);
}

uint32_t rgb(int r, int g, int b) {
    return premultiplied_pixel(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b),
                               255);
}

// Records `frames` pictures; fails the test (and answers false) if anything goes wrong.
bool record(const std::string& path, int width, int height, int frames, const Painter& painter) {
    std::string error;
    auto file = VideoFile::create(path, width, height, 10, error);
    EXPECT_TRUE(file) << error;
    if (!file)
        return false;
    for (int i = 0; i < frames; ++i)
        if (!file->addFrame(paint(width, height, i, painter), error)) {
            ADD_FAILURE() << error;
            return false;
        }
    EXPECT_TRUE(file->finish(error)) << error;
    return error.empty();
}

std::vector<uint8_t> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The image rectangles of a GIF, in order, read from its image descriptors.
std::vector<Rect> gifRectangles(const std::string& path) {
    std::vector<uint8_t> d = bytesOf(path);
    std::vector<Rect> found;
    auto u16 = [&](size_t at) { return d.at(at) | d.at(at + 1) << 8; };
    auto skipBlocks = [&](size_t at) {
        while (d.at(at) != 0)
            at += d[at] + 1u;
        return at + 1;
    };
    size_t at = 13;
    if (d.at(10) & 0x80)
        at += 3u << ((d[10] & 7) + 1);
    while (at < d.size() && d[at] != 0x3b) {
        if (d[at] == 0x21) {
            at = skipBlocks(at + 2);
        } else if (d[at] == 0x2c) {
            found.push_back({u16(at + 1), u16(at + 3), u16(at + 5), u16(at + 7)});
            uint8_t packed = d.at(at + 9);
            at += 10;
            if (packed & 0x80)
                at += 3u << ((packed & 7) + 1);
            at = skipBlocks(at + 1);
        } else {
            ADD_FAILURE() << "a block of unknown kind " << int(d[at]) << " at " << at;
            break;
        }
    }
    return found;
}

// The frame rectangles of an APNG, from its frame controls.
std::vector<Rect> apngRectangles(const std::string& path) {
    std::vector<uint8_t> d = bytesOf(path);
    std::vector<Rect> found;
    auto u32 = [&](size_t at) {
        return static_cast<int>(uint32_t(d.at(at)) << 24 | d.at(at + 1) << 16 | d.at(at + 2) << 8 |
                                d.at(at + 3));
    };
    for (size_t at = 8; at + 8 <= d.size();) {
        int length = u32(at);
        if (std::string(d.begin() + static_cast<long>(at) + 4, d.begin() + static_cast<long>(at) + 8) ==
            "fcTL")
            found.push_back({u32(at + 20), u32(at + 24), u32(at + 12), u32(at + 16)});
        at += static_cast<size_t>(length) + 12;
    }
    return found;
}

// A bar four pixels wide on grey, one bar-width further right each frame.
uint32_t movingBar(int frame, int x, int) {
    return x >= frame * 4 && x < frame * 4 + 4 ? rgb(255, 255, 255) : rgb(96, 96, 96);
}

// The largest channel difference between a decoded frame and the picture it was made from.
int worstDifference(const DecodedVideo& video, size_t frame, const Painter& painter) {
    int worst = 0;
    for (int y = 0; y < video.height; ++y)
        for (int x = 0; x < video.width; ++x) {
            uint32_t source = painter(static_cast<int>(frame), x, y);
            auto shown = video.rgb(frame, x, y);
            for (int c = 0; c < 3; ++c)
                worst =
                    std::max(worst, std::abs(shown[c] - static_cast<int>((source >> (16 - 8 * c)) & 0xff)));
        }
    return worst;
}

} // namespace

TEST(RecordingChanges, EachFrameAfterTheFirstIsTheRectangleThatChanged) {
    Scratch folder;
    for (const char* name : {"bar.gif", "bar.apng"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(record(folder / name, 33, 17, 6, movingBar));
        std::vector<Rect> rects = std::string(name).ends_with(".gif") ? gifRectangles(folder / name)
                                                                      : apngRectangles(folder / name);
        ASSERT_EQ(rects.size(), 6u);
        EXPECT_EQ(rects[0], (Rect{0, 0, 33, 17}));
        for (int i = 1; i < 6; ++i)
            EXPECT_EQ(rects[static_cast<size_t>(i)], (Rect{(i - 1) * 4, 0, 8, 17}))
                << "the bar's old and new place, frame " << i;
    }
}

TEST(RecordingChanges, AStillSceneWritesFramesOfOnePixel) {
    Scratch folder;
    auto still = [](int, int x, int y) { return rgb(x * 7, y * 13, 200); };
    for (const char* name : {"still.gif", "still.apng"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(record(folder / name, 33, 17, 1, still));
        auto one = fs::file_size(folder / name);
        ASSERT_TRUE(record(folder / name, 33, 17, 31, still));
        auto many = fs::file_size(folder / name);
        EXPECT_LT(many - one, 30u * 80u) << "30 still frames cost a few dozen bytes each";
        std::vector<Rect> rects = std::string(name).ends_with(".gif") ? gifRectangles(folder / name)
                                                                      : apngRectangles(folder / name);
        ASSERT_EQ(rects.size(), 31u);
        EXPECT_EQ(rects[30], (Rect{0, 0, 1, 1}));
        DecodedVideo video = readVideo(folder / name);
        ASSERT_EQ(video.frames.size(), 31u);
        EXPECT_TRUE(video.frames[30] == video.frames[0]) << "the still frames show the first";
    }
}

TEST(RecordingChanges, FramesComposedFromChangedRectanglesShowTheWholePicture) {
    Scratch folder;
    // A patch of noise wandering over a striped background, some of it changing colour as it goes:
    // what changes is a small rectangle, and the rest must still show through.
    auto scene = [](int frame, int x, int y) {
        int px = 5 + frame * 3, py = 4 + (frame % 3) * 5;
        if (x >= px && x < px + 9 && y >= py && y < py + 7) {
            // Unsigned: the products wrap around, as a hash's should.
            uint32_t noise = (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^
                             (static_cast<uint32_t>(frame) * 83492791u);
            return rgb(static_cast<int>(noise & 0xff), static_cast<int>((noise >> 8) & 0xff),
                       static_cast<int>((noise >> 16) & 0xff));
        }
        return (y / 3) % 2 ? rgb(20, 80, 160) : rgb(230, 200, 40);
    };
    ASSERT_TRUE(record(folder / "noise.apng", 48, 30, 10, scene));
    DecodedVideo apng = readVideo(folder / "noise.apng");
    ASSERT_EQ(apng.error, "");
    ASSERT_EQ(apng.frames.size(), 10u);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(worstDifference(apng, i, scene), 0) << "APNG is lossless, frame " << i;

    // Few colours, each far from the others: GIF shows them exactly, so any pixel a frame leaves
    // behind in the wrong colour shows.
    auto blocks = [](int frame, int x, int y) {
        static const uint32_t colours[] = {rgb(250, 30, 30), rgb(30, 250, 30), rgb(30, 30, 250),
                                           rgb(240, 240, 240)};
        int px = frame * 4, py = (frame % 3) * 6;
        if (x >= px && x < px + 10 && y >= py && y < py + 10)
            return colours[(frame + x / 5) % 4];
        return (x / 6 + y / 6) % 2 ? rgb(20, 20, 20) : rgb(128, 128, 128);
    };
    ASSERT_TRUE(record(folder / "blocks.gif", 48, 30, 10, blocks));
    DecodedVideo gif = readVideo(folder / "blocks.gif");
    ASSERT_EQ(gif.error, "");
    ASSERT_EQ(gif.frames.size(), 10u);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(worstDifference(gif, i, blocks), 0) << "frame " << i;
}

TEST(RecordingChanges, GifColoursStayCloseToTheSourceAndSmoothOnAGradient) {
    Scratch folder;
    // A wallpaper-like gradient of many more colours than a GIF holds, with a moving white line.
    auto gradient = [](int frame, int x, int y) {
        if (y == 40 + frame)
            return rgb(255, 255, 255);
        return rgb(30 + x, 60 + y, 200 - x / 2);
    };
    ASSERT_TRUE(record(folder / "gradient.gif", 160, 120, 4, gradient));
    DecodedVideo video = readVideo(folder / "gradient.gif");
    ASSERT_EQ(video.error, "");
    ASSERT_EQ(video.frames.size(), 4u);
    for (size_t frame = 0; frame < 4; ++frame) {
        double total = 0;
        double worstBlock = 0;
        // Dithering mixes palette colours: each 8 x 8 block must average out to its source (steps a
        // person would see as bands are block averages off by several levels).
        for (int by = 0; by < 120; by += 8)
            for (int bx = 0; bx < 160; bx += 8)
                for (int c = 0; c < 3; ++c) {
                    double shown = 0, source = 0;
                    for (int y = by; y < by + 8; ++y)
                        for (int x = bx; x < bx + 8; ++x) {
                            int value = video.rgb(frame, x, y)[c];
                            int original = static_cast<int>(
                                (gradient(static_cast<int>(frame), x, y) >> (16 - 8 * c)) & 0xff);
                            shown += value;
                            source += original;
                            total += std::abs(value - original);
                        }
                    worstBlock = std::max(worstBlock, std::abs(shown - source) / 64);
                }
        double mean = total / (160.0 * 120 * 3);
        EXPECT_LT(mean, 6.0) << "frame " << frame;
        EXPECT_LT(worstBlock, 3.0) << "frame " << frame;
    }
}

TEST(RecordingChanges, AGifGetsANewPaletteWhenTheSceneChanges) {
    Scratch folder;
    // Three frames of greys, then three of saturated colours the greys' palette cannot show.
    auto scenes = [](int frame, int x, int y) {
        if (frame < 3)
            return rgb(x * 4, x * 4, x * 4);
        return (x + y) % 2 ? rgb(240, 20 + y * 3, 10) : rgb(10, 200, 60 + x * 2);
    };
    ASSERT_TRUE(record(folder / "scenes.gif", 64, 48, 6, scenes));
    DecodedVideo video = readVideo(folder / "scenes.gif");
    ASSERT_EQ(video.error, "");
    ASSERT_EQ(video.frames.size(), 6u);
    for (size_t frame = 0; frame < 6; ++frame) {
        double total = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                for (int c = 0; c < 3; ++c)
                    total += std::abs(
                        video.rgb(frame, x, y)[c] -
                        static_cast<int>((scenes(static_cast<int>(frame), x, y) >> (16 - 8 * c)) & 0xff));
        EXPECT_LT(total / (64 * 48 * 3), 6.0) << "frame " << frame;
    }
}
