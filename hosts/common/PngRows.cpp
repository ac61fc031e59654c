#include "hosts/common/PngRows.h"

#include <cstdlib>

namespace {

enum Filter : uint8_t { none, sub, up, average, paeth };

inline uint8_t paethPredictor(int a, int b, int c) {
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

template <Filter filter>
inline uint8_t predict(const uint8_t* row, const uint8_t* above, size_t i, size_t pixelBytes) {
    int left = i >= pixelBytes ? row[i - pixelBytes] : 0;
    int up = above[i];
    int corner = i >= pixelBytes ? above[i - pixelBytes] : 0;
    switch (filter) {
    case none:
        return 0;
    case sub:
        return static_cast<uint8_t>(left);
    case Filter::up:
        return static_cast<uint8_t>(up);
    case average:
        return static_cast<uint8_t>((left + up) / 2);
    case paeth:
        return paethPredictor(left, up, corner);
    }
    return 0;
}

// The size estimate of a filtered row: small differences either way count as small.
template <Filter filter>
uint64_t cost(const uint8_t* row, const uint8_t* above, size_t bytes, size_t pixelBytes) {
    uint64_t total = 0;
    for (size_t i = 0; i < bytes; ++i) {
        auto value = static_cast<int8_t>(row[i] - predict<filter>(row, above, i, pixelBytes));
        total += static_cast<uint64_t>(std::abs(static_cast<int>(value)));
    }
    return total;
}

template <Filter filter>
void apply(const uint8_t* row, const uint8_t* above, size_t bytes, size_t pixelBytes, uint8_t* out) {
    out[0] = filter;
    for (size_t i = 0; i < bytes; ++i)
        out[i + 1] = static_cast<uint8_t>(row[i] - predict<filter>(row, above, i, pixelBytes));
}

} // namespace

void filterPngRow(const uint8_t* row, const uint8_t* above, size_t bytes, size_t pixelBytes, uint8_t* out) {
    // Ties go to the simpler filter.
    uint64_t costs[] = {cost<none>(row, above, bytes, pixelBytes), cost<sub>(row, above, bytes, pixelBytes),
                        cost<up>(row, above, bytes, pixelBytes), cost<paeth>(row, above, bytes, pixelBytes)};
    int best = 0;
    for (int i = 1; i < 4; ++i)
        if (costs[i] < costs[best])
            best = i;
    switch (best) {
    case 0:
        return apply<none>(row, above, bytes, pixelBytes, out);
    case 1:
        return apply<sub>(row, above, bytes, pixelBytes, out);
    case 2:
        return apply<up>(row, above, bytes, pixelBytes, out);
    default:
        return apply<paeth>(row, above, bytes, pixelBytes, out);
    }
}
