#pragma once

// The device's bitmap container (".cpbitmap"), in which the system keeps its wallpapers.
//
// Layout, all integers little-endian 32-bit:
//   - no header: the pixel planes of all images come first, image i starting at byte
//     i x (plane size rounded up to 4096); the last plane is not padded;
//   - then an optional colour-space property list and an optional info property list (opaque
//     here: only their lengths matter);
//   - then the trailer. The current trailer is 28 bytes: colour-space list length, info list
//     length, width, height, format, image count, magic 0xDCB543A2. The older one is 24 bytes,
//     without the colour-space length, magic 0xCBA43291.
// A plane is `height` rows of 4 x (width rounded up to 16 pixels; 8 for the older magic) bytes.
// Format 0 pixels are bytes B, G, R, unused (opaque); format 1 pixels are B, G, R, A with
// premultiplied alpha. The file's length must be exactly what the trailer implies; anything else
// (other formats, absurd sizes, a length that does not add up) is refused, never guessed at.

#include "platform/graphics/Bitmap.h"
#include "runtime/Ref.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class NSArray;
class NSData;

namespace CPBitmap {

constexpr uint32_t magic = 0xDCB543A2;
constexpr uint32_t legacyMagic = 0xCBA43291;
constexpr size_t trailerBytes = 28;
constexpr size_t legacyTrailerBytes = 24;
constexpr size_t planeAlignment = 4096;
// Bounds that keep a hostile trailer from asking for an absurd allocation.
constexpr uint32_t maxSide = 16384;
constexpr uint32_t maxImages = 16;
constexpr uint64_t maxDecodedBytes = 256u << 20;

// Every image of the file, or nullopt with the reason in *error (when given).
std::optional<std::vector<Bitmap>> decode(std::span<const uint8_t> bytes, std::string* error = nullptr);

// The current form: format 0 when every pixel is opaque, format 1 otherwise; no property lists.
// Empty when there are no images or one is larger than the bounds above.
std::vector<uint8_t> encode(std::span<const Bitmap> images);

} // namespace CPBitmap

// As the device's AppSupport function: the file's images as an array of image references
// (CGImage), or nil when the data is nil or cannot be decoded. The second and fourth arguments
// are unused and the flags are ignored; callers pass nil, 1, nil. When error is given it receives
// the reason for a nil answer.
Ref<NSArray> CPBitmapCreateImagesFromData(const NSData* data, const void* reserved, int flags,
                                          const void* reserved2, std::string* error = nullptr);
