#include "platform/graphics/ImageImport.h"

#include <algorithm>
#include <memory>

// The decoder is compiled here and nowhere else, for the two formats we take.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#include <stb/stb_image.h>

namespace ImageImport {

namespace {

bool fail(std::string* error, std::string reason) {
    if (error)
        *error = std::move(reason);
    return false;
}

// The size in a PNG's header, read here because the decoder's own header reader refuses large
// sizes with a reason that the JPEG attempt after it overwrites.
bool pngHeaderSize(std::span<const uint8_t> bytes, int& width, int& height) {
    static const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 24 || !std::equal(signature, signature + 8, bytes.begin()) ||
        !std::equal(bytes.begin() + 12, bytes.begin() + 16, "IHDR"))
        return false;
    auto be32 = [&bytes](size_t at) {
        return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
               bytes[at + 3];
    };
    // Beyond int, a size is as unusable as a zero one.
    uint32_t w = be32(16), h = be32(20);
    width = w > 0x7FFFFFFF ? 0 : static_cast<int>(w);
    height = h > 0x7FFFFFFF ? 0 : static_cast<int>(h);
    return true;
}

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

} // namespace

std::optional<Bitmap> decode(std::span<const uint8_t> bytes, std::string* error) {
    if (bytes.empty()) {
        fail(error, "empty file");
        return std::nullopt;
    }
    if (bytes.size() > maxFileBytes) {
        fail(error, "file larger than " + std::to_string(maxFileBytes) + " bytes");
        return std::nullopt;
    }
    const int length = static_cast<int>(bytes.size());
    int width = 0, height = 0, channels = 0;
    if (!pngHeaderSize(bytes, width, height) &&
        !stbi_info_from_memory(bytes.data(), length, &width, &height, &channels)) {
        fail(error, "not a PNG or JPEG image");
        return std::nullopt;
    }
    if (width <= 0 || height <= 0) {
        fail(error, "image without pixels");
        return std::nullopt;
    }
    if (width > maxSide || height > maxSide ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > maxPixels) {
        fail(error,
             "image of " + std::to_string(width) + "x" + std::to_string(height) + " pixels is too large");
        return std::nullopt;
    }
    int gotWidth = 0, gotHeight = 0;
    std::unique_ptr<stbi_uc, StbFree> pixels(
        stbi_load_from_memory(bytes.data(), length, &gotWidth, &gotHeight, &channels, 4));
    if (!pixels) {
        const char* reason = stbi_failure_reason();
        fail(error, std::string("damaged image: ") + (reason ? reason : "unknown"));
        return std::nullopt;
    }
    if (gotWidth != width || gotHeight != height) {
        fail(error, "damaged image: size changed while decoding");
        return std::nullopt;
    }
    auto bitmap = Bitmap::create(width, height);
    if (!bitmap) {
        fail(error, "out of memory");
        return std::nullopt;
    }
    const stbi_uc* in = pixels.get();
    for (int y = 0; y < height; ++y) {
        uint32_t* out = bitmap->row(y);
        for (int x = 0; x < width; ++x, in += 4)
            out[x] = premultiplied_pixel(in[0], in[1], in[2], in[3]);
    }
    return bitmap;
}

} // namespace ImageImport
