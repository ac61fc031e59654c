#include "hosts/common/PngRows.h"

#include <cstdlib>
#include <cstring>

namespace {

enum Filter : uint8_t { none, sub, up, average, paeth };

constexpr uint8_t zeros[4] = {};

inline uint8_t paethPredictor(int a, int b, int c) {
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

// The prediction for byte i of a row (the byte four before is the pixel to the left; the rows have
// a pixel of zeros before them, which is what PNG assumes left of the first pixel).
template <Filter filter> inline uint8_t predict(const uint8_t* filled, const uint8_t* above, size_t i) {
    if constexpr (filter == none)
        return 0;
    else if constexpr (filter == sub)
        return filled[i - 4];
    else if constexpr (filter == up)
        return above[i];
    else
        return paethPredictor(filled[i - 4], above[i], above[i - 4]);
}

// Filters the row one way into `filled` (the row as a decoder will see it) and `out` (the filter byte
// and the differences); answers an estimate of its coded size: small differences either way count as
// small.
template <Filter filter>
uint64_t trial(const uint8_t* row, const uint8_t* above, size_t pixels, uint8_t* filled, uint8_t* out) {
    *out++ = filter;
    uint64_t total = 0;
    auto put = [&](size_t i, uint8_t value, uint8_t predicted) {
        filled[i] = value;
        auto difference = static_cast<int8_t>(value - predicted);
        out[i] = static_cast<uint8_t>(difference);
        total += static_cast<uint64_t>(difference < 0 ? -difference : difference);
    };
    for (size_t i = 0; i < pixels * 4; i += 4) {
        if (row[i + 3] == 0) {
            if constexpr (filter == paeth) {
                for (size_t c = i; c < i + 3; ++c) {
                    uint8_t predicted = predict<filter>(filled, above, c);
                    put(c, predicted, predicted);
                }
            } else {
                // The prediction is a whole pixel (none, left or above): copied as one.
                const uint8_t* source = filter == none ? zeros : filter == sub ? filled + i - 4 : above + i;
                std::memcpy(filled + i, source, 3);
                std::memset(out + i, 0, 3);
            }
            put(i + 3, 0, predict<filter>(filled, above, i + 3));
        } else {
            for (size_t c = i; c < i + 4; ++c)
                put(c, row[c], predict<filter>(filled, above, c));
        }
    }
    return total;
}

} // namespace

void filterPngRow(uint8_t* row, const uint8_t* above, size_t pixels, uint8_t* out,
                  std::vector<uint8_t>& scratch) {
    size_t bytes = pixels * 4;
    // Each trial's row with a pixel of zeros before it, then each trial's filtered row.
    scratch.resize((bytes + 4) * 4 + (bytes + 1) * 4);
    uint8_t* filled[4];
    uint8_t* filtered[4];
    for (size_t i = 0; i < 4; ++i) {
        filled[i] = scratch.data() + i * (bytes + 4) + 4;
        std::memset(filled[i] - 4, 0, 4);
        filtered[i] = scratch.data() + 4 * (bytes + 4) + i * (bytes + 1);
    }
    uint64_t costs[] = {trial<none>(row, above, pixels, filled[0], filtered[0]),
                        trial<sub>(row, above, pixels, filled[1], filtered[1]),
                        trial<up>(row, above, pixels, filled[2], filtered[2]),
                        trial<paeth>(row, above, pixels, filled[3], filtered[3])};
    // Ties go to the simpler filter.
    size_t best = 0;
    for (size_t i = 1; i < 4; ++i)
        if (costs[i] < costs[best])
            best = i;
    std::memcpy(row, filled[best], bytes);
    std::memcpy(out, filtered[best], bytes + 1);
}
