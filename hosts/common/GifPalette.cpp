#include "hosts/common/GifPalette.h"
#include "platform/graphics/Bitmap.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int maxColours = 255;
constexpr int cells = 1 << 15;
// How much of the error so far each next entry of a mix makes up for, in percent.
constexpr int errorShare = 75;

// The 8 x 8 ordered-dither thresholds, 0 to 63.
constexpr uint8_t bayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

struct Bin {
    uint16_t key; // 5 bits each of red, green, blue
    uint32_t count;
    uint64_t sum[3];
    int coordinate(int axis) const { return (key >> (10 - 5 * axis)) & 31; }
};

struct Box {
    size_t begin, end;
    double score; // the spread of its pixels along its widest axis, times their number
    int axis;
};

Box measure(const std::vector<Bin>& bins, size_t begin, size_t end) {
    Box box{begin, end, 0, 0};
    if (end - begin < 2)
        return box;
    for (int axis = 0; axis < 3; ++axis) {
        double count = 0, sum = 0, squares = 0;
        for (size_t i = begin; i < end; ++i) {
            double v = bins[i].coordinate(axis);
            count += bins[i].count;
            sum += v * bins[i].count;
            squares += v * v * bins[i].count;
        }
        double spread = squares - sum * sum / count;
        if (spread > box.score) {
            box.score = spread;
            box.axis = axis;
        }
    }
    return box;
}

// Sorts the box's bins along its axis and answers where its pixels' median falls (a box of two bins
// or more is always split in two).
size_t split(std::vector<Bin>& bins, const Box& box) {
    int axis = box.axis;
    std::sort(bins.begin() + static_cast<ptrdiff_t>(box.begin),
              bins.begin() + static_cast<ptrdiff_t>(box.end), [axis](const Bin& a, const Bin& b) {
                  int ca = a.coordinate(axis), cb = b.coordinate(axis);
                  return ca != cb ? ca < cb : a.key < b.key;
              });
    uint64_t total = 0;
    for (size_t i = box.begin; i < box.end; ++i)
        total += bins[i].count;
    uint64_t seen = 0;
    size_t middle = box.begin;
    while (middle < box.end - 1 && seen + bins[middle].count <= total / 2)
        seen += bins[middle++].count;
    return std::clamp(middle, box.begin + 1, box.end - 1);
}

} // namespace

GifPalette::GifPalette() : m_plans((size_t(1) << 18) * planSize), m_planned(size_t(1) << 18, false) {}

GifPalette GifPalette::fromPicture(const Bitmap& picture) {
    std::vector<Bin> histogram(cells);
    for (int y = 0; y < picture.height(); ++y) {
        const uint32_t* row = picture.row(y);
        for (int x = 0; x < picture.width(); ++x) {
            uint32_t p = row[x];
            uint32_t r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
            Bin& bin = histogram[((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)];
            ++bin.count;
            bin.sum[0] += r;
            bin.sum[1] += g;
            bin.sum[2] += b;
        }
    }
    std::vector<Bin> bins;
    for (int key = 0; key < cells; ++key)
        if (histogram[key].count > 0) {
            bins.push_back(histogram[key]);
            bins.back().key = static_cast<uint16_t>(key);
        }

    std::vector<Box> boxes;
    if (!bins.empty())
        boxes.push_back(measure(bins, 0, bins.size()));
    while (static_cast<int>(boxes.size()) < maxColours) {
        auto widest = std::max_element(boxes.begin(), boxes.end(),
                                       [](const Box& a, const Box& b) { return a.score < b.score; });
        if (widest == boxes.end() || widest->score <= 0)
            break;
        Box box = *widest;
        size_t middle = split(bins, box);
        *widest = measure(bins, box.begin, middle);
        boxes.push_back(measure(bins, middle, box.end));
    }

    GifPalette palette;
    for (const Box& box : boxes) {
        uint64_t count = 0, sum[3] = {};
        for (size_t i = box.begin; i < box.end; ++i) {
            count += bins[i].count;
            for (int c = 0; c < 3; ++c)
                sum[c] += bins[i].sum[c];
        }
        uint32_t colour = 0;
        for (int c = 0; c < 3; ++c)
            colour = (colour << 8) | static_cast<uint32_t>((sum[c] + count / 2) / count);
        palette.m_colours[static_cast<size_t>(palette.m_count++)] = colour;
    }
    if (palette.m_count == 0)
        palette.m_count = 1; // a picture with no pixels: black

    return palette;
}

size_t GifPalette::cellOf(uint32_t pixel, int x, int y) {
    // The thresholds read across rather than down, so that this does not follow the ranks.
    int offset = (bayer[x & 7][y & 7] - 32) / 16;
    auto channel = [&](int shift) {
        return static_cast<size_t>(std::clamp(static_cast<int>((pixel >> shift) & 0xff) + offset, 0, 255) >>
                                   2);
    };
    return (channel(16) << 12) | (channel(8) << 6) | channel(0);
}

size_t GifPalette::ditherRank(int x, int y) {
    return bayer[y & 7][x & 7] * planSize / 64;
}

uint8_t GifPalette::nearest(int r, int g, int b) const {
    int best = 0, bestDistance = 1 << 30;
    for (int i = 0; i < m_count; ++i) {
        uint32_t c = m_colours[static_cast<size_t>(i)];
        int dr = r - static_cast<int>((c >> 16) & 0xff), dg = g - static_cast<int>((c >> 8) & 0xff),
            db = b - static_cast<int>(c & 0xff);
        int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

void GifPalette::plan(size_t cell) {
    // The middle of the cell's colours.
    int goal[3] = {static_cast<int>((cell >> 12) << 2) + 2, static_cast<int>(((cell >> 6) & 63) << 2) + 2,
                   static_cast<int>((cell & 63) << 2) + 2};
    // Each entry is the nearest to the goal pushed by part of the error the entries so far make
    // together, so that the mix's mean comes to the goal.
    int error[3] = {0, 0, 0};
    uint8_t* plan = &m_plans[cell * planSize];
    for (size_t i = 0; i < planSize; ++i) {
        int attempt[3];
        for (int c = 0; c < 3; ++c)
            attempt[c] = std::clamp(goal[c] + error[c] * errorShare / 100, 0, 255);
        uint8_t index = nearest(attempt[0], attempt[1], attempt[2]);
        plan[i] = index;
        uint32_t colour = m_colours[index];
        for (int c = 0; c < 3; ++c)
            error[c] += goal[c] - static_cast<int>((colour >> (16 - 8 * c)) & 0xff);
    }
    // Darkest first: the dither's ranks then spread light and dark evenly over a patch.
    auto luma = [this](uint8_t index) {
        uint32_t c = m_colours[index];
        return 2 * ((c >> 16) & 0xff) + 5 * ((c >> 8) & 0xff) + (c & 0xff);
    };
    std::stable_sort(plan, plan + planSize, [&](uint8_t a, uint8_t b) { return luma(a) < luma(b); });
    m_planned[cell] = true;
}

int GifPalette::error(uint32_t pixel, uint8_t index) const {
    uint32_t c = m_colours[index];
    int total = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        total += std::abs(static_cast<int>((pixel >> shift) & 0xff) - static_cast<int>((c >> shift) & 0xff));
    return total;
}
