#include "platform/graphics/CPBitmap.h"
#include "platform/graphics/SharedPixels.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/DecodedImageCache.h"

#include <algorithm>
#include <cstring>

namespace CPBitmap {

namespace {

uint32_t readLE32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void appendLE32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

uint64_t roundUp(uint64_t value, uint64_t multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

struct Geometry {
    uint64_t rowBytes;
    uint64_t planeBytes;
    uint64_t planeStride; // distance between the starts of two planes
};

Geometry geometryOf(uint32_t width, uint32_t height, bool legacy) {
    Geometry g;
    g.rowBytes = 4 * roundUp(width, legacy ? 8 : 16);
    g.planeBytes = g.rowBytes * height;
    g.planeStride = roundUp(g.planeBytes, planeAlignment);
    return g;
}

bool fail(std::string* error, std::string reason) {
    if (error)
        *error = std::move(reason);
    return false;
}

} // namespace

std::optional<std::vector<Bitmap>> decode(std::span<const uint8_t> bytes, std::string* error) {
    if (bytes.size() < legacyTrailerBytes) {
        fail(error, "too short for a trailer (" + std::to_string(bytes.size()) + " bytes)");
        return std::nullopt;
    }
    const uint32_t fileMagic = readLE32(bytes.data() + bytes.size() - 4);
    const bool legacy = fileMagic == legacyMagic;
    if (fileMagic != magic && !legacy) {
        fail(error, "unknown trailer magic");
        return std::nullopt;
    }
    const size_t trailerSize = legacy ? legacyTrailerBytes : trailerBytes;
    if (bytes.size() < trailerSize) {
        fail(error, "too short for its trailer (" + std::to_string(bytes.size()) + " bytes)");
        return std::nullopt;
    }
    // Fields are numbered as in the current trailer; the older one lacks field 0.
    const uint8_t* trailer = bytes.data() + bytes.size() - trailerSize;
    auto field = [trailer, legacy](size_t index) {
        return readLE32(trailer + 4 * (legacy ? index - 1 : index));
    };
    const uint64_t colourSpaceBytes = legacy ? 0 : field(0);
    const uint64_t infoBytes = field(1);
    const uint32_t width = field(2);
    const uint32_t height = field(3);
    const uint32_t format = field(4);
    const uint32_t count = field(5);

    if (width == 0 || height == 0 || width > maxSide || height > maxSide) {
        fail(error, "unusable size " + std::to_string(width) + "x" + std::to_string(height));
        return std::nullopt;
    }
    if (count == 0 || count > maxImages) {
        fail(error, "unusable image count " + std::to_string(count));
        return std::nullopt;
    }
    if (format > 1) {
        fail(error, "unsupported pixel format " + std::to_string(format));
        return std::nullopt;
    }
    if (uint64_t{width} * height * 4 * count > maxDecodedBytes) {
        fail(error, "images too large to decode");
        return std::nullopt;
    }
    // Every term is bounded above, so the sum cannot overflow 64 bits.
    const Geometry g = geometryOf(width, height, legacy);
    const uint64_t expected =
        (count - 1) * g.planeStride + g.planeBytes + colourSpaceBytes + infoBytes + trailerSize;
    if (expected != bytes.size()) {
        fail(error, "length " + std::to_string(bytes.size()) + " does not match the " +
                        std::to_string(expected) + " bytes its trailer implies");
        return std::nullopt;
    }

    std::vector<Bitmap> images;
    images.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        auto bitmap = Bitmap::create(static_cast<int>(width), static_cast<int>(height));
        if (!bitmap) {
            fail(error, "out of memory");
            return std::nullopt;
        }
        const uint8_t* plane = bytes.data() + i * g.planeStride;
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* in = plane + y * g.rowBytes;
            uint32_t* out = bitmap->row(static_cast<int>(y));
            if (format == 0) {
                // B, G, R, unused in memory is 0x??RRGGBB on this little-endian machine: the row
                // made opaque in one pass (a loop the compiler vectorizes).
                for (uint32_t x = 0; x < width; ++x) {
                    uint32_t pixel;
                    std::memcpy(&pixel, in + 4 * x, 4);
                    out[x] = pixel | 0xFF000000u;
                }
                continue;
            }
            for (uint32_t x = 0; x < width; ++x, in += 4) {
                // A component above its alpha is not premultiplied; clamp rather than let it
                // overflow later blends.
                uint8_t a = in[3];
                out[x] = (uint32_t{a} << 24) | (uint32_t{std::min(in[2], a)} << 16) |
                         (uint32_t{std::min(in[1], a)} << 8) | std::min(in[0], a);
            }
        }
        images.push_back(std::move(*bitmap));
    }
    return images;
}

std::vector<uint8_t> encode(std::span<const Bitmap> images) {
    std::vector<uint8_t> out;
    if (images.empty() || images.size() > maxImages)
        return out;
    const auto width = static_cast<uint32_t>(images[0].width());
    const auto height = static_cast<uint32_t>(images[0].height());
    bool opaque = true;
    for (const Bitmap& image : images) {
        if (static_cast<uint32_t>(image.width()) != width || static_cast<uint32_t>(image.height()) != height)
            return out;
        for (int y = 0; y < image.height() && opaque; ++y) {
            const uint32_t* row = image.row(y);
            opaque = std::all_of(row, row + image.width(), [](uint32_t p) { return (p >> 24) == 0xFF; });
        }
    }
    if (width > maxSide || height > maxSide || uint64_t{width} * height * 4 * images.size() > maxDecodedBytes)
        return out;

    const Geometry g = geometryOf(width, height, false);
    const size_t planes = (images.size() - 1) * g.planeStride + g.planeBytes;
    out.reserve(planes + trailerBytes); // the trailer must not make megabytes of planes move
    out.assign(planes, 0);
    for (size_t i = 0; i < images.size(); ++i) {
        uint8_t* plane = out.data() + i * g.planeStride;
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* row = plane + y * g.rowBytes;
            const uint32_t* in = images[i].row(static_cast<int>(y));
            for (uint32_t x = 0; x < width; ++x, row += 4) {
                row[0] = static_cast<uint8_t>(in[x]);
                row[1] = static_cast<uint8_t>(in[x] >> 8);
                row[2] = static_cast<uint8_t>(in[x] >> 16);
                row[3] = opaque ? 0 : static_cast<uint8_t>(in[x] >> 24);
            }
        }
    }
    appendLE32(out, 0); // colour-space property list
    appendLE32(out, 0); // info property list
    appendLE32(out, width);
    appendLE32(out, height);
    appendLE32(out, opaque ? 0 : 1);
    appendLE32(out, static_cast<uint32_t>(images.size()));
    appendLE32(out, magic);
    return out;
}

} // namespace CPBitmap

namespace {

constexpr const char* cacheName = "cpbitmap";

} // namespace

Ref<NSArray> CPBitmapCreateImagesFromData(const NSData* data, const void*, int, const void*,
                                          std::string* error) {
    if (!data) {
        if (error)
            *error = "no data";
        return nullptr;
    }
    // An unchanged file's images are the ones decoded before: every caller shares one copy.
    const auto& file = data->fileIdentity();
    std::optional<std::vector<Ref<CGImage>>> shared;
    if (file)
        shared = DecodedImageCache::find(cacheName, *file);
    if (!shared) {
        std::optional<std::vector<Bitmap>> images;
        // A one-image file (a wallpaper) another process of the device decoded is mapped from it.
        if (file) {
            if (auto pixels = SharedPixels::find(cacheName, *file))
                images.emplace().push_back(std::move(*pixels));
        }
        if (!images) {
            images = CPBitmap::decode(data->bytes(), error);
            if (!images)
                return nullptr;
            if (file && images->size() == 1) {
                if (auto pixels = SharedPixels::share(cacheName, *file, images->front()))
                    images->front() = std::move(*pixels);
            }
        }
        shared.emplace();
        for (auto& image : *images)
            shared->push_back(CGImage::imageWithBitmap(std::move(image)));
        if (file)
            DecodedImageCache::remember(cacheName, *file, *shared);
    }
    return NSArray::arrayWithObjects(std::vector<Ref<NSObject>>(shared->begin(), shared->end()));
}
