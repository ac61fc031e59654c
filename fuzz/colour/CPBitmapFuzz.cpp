// The wallpaper decoder on arbitrary bytes. Most mutations break the exact length a file must
// have, so each input is also decoded a second time with its body stretched or cut to the length
// its trailer implies, which takes the fuzzer past the length check into the pixel paths. A file
// that decodes must survive re-encoding unchanged.

#include "platform/graphics/CPBitmap.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

uint32_t readLE32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void checkRoundTrip(const std::vector<Bitmap>& images) {
    auto again = CPBitmap::decode(CPBitmap::encode(images));
    if (!again || again->size() != images.size())
        std::abort();
    for (size_t i = 0; i < images.size(); ++i)
        for (int y = 0; y < images[i].height(); ++y)
            for (int x = 0; x < images[i].width(); ++x)
                if ((*again)[i].pixel(x, y) != images[i].pixel(x, y))
                    std::abort();
}

void decode(const std::vector<uint8_t>& bytes) {
    if (auto images = CPBitmap::decode(bytes))
        checkRoundTrip(*images);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    decode(bytes);
    if (size < CPBitmap::legacyTrailerBytes)
        return 0;
    const bool legacy = readLE32(data + size - 4) == CPBitmap::legacyMagic;
    const size_t trailerSize = legacy ? CPBitmap::legacyTrailerBytes : CPBitmap::trailerBytes;
    if (size < trailerSize)
        return 0;
    const uint8_t* trailer = data + size - trailerSize + (legacy ? 0 : 4);
    uint64_t lists = (legacy ? 0 : readLE32(data + size - trailerSize)) + readLE32(trailer);
    uint64_t width = readLE32(trailer + 4), height = readLE32(trailer + 8), count = readLE32(trailer + 16);
    // Only small pictures and few of them (each starts on a page of its own): the point is the
    // decoder's paths, not the allocator.
    if (width == 0 || height == 0 || count == 0 || count > 16 || width * height * count > (1u << 16) ||
        lists > (1u << 16))
        return 0;
    uint64_t row = 4 * ((width + (legacy ? 7 : 15)) / (legacy ? 8 : 16) * (legacy ? 8 : 16));
    uint64_t plane = row * height, stride = (plane + 4095) / 4096 * 4096;
    uint64_t body = (count - 1) * stride + plane + lists;
    std::vector<uint8_t> fitted(body + trailerSize);
    for (uint64_t i = 0; i < body; ++i)
        fitted[i] = size > trailerSize ? data[i % (size - trailerSize)] : 0;
    std::copy(data + size - trailerSize, data + size, fitted.end() - static_cast<ptrdiff_t>(trailerSize));
    decode(fitted);
    return 0;
}
