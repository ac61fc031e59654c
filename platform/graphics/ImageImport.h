#pragma once

// Importing PNG and JPEG files (the forms a wallpaper or an icon arrives in). The header is
// checked before anything is decoded, so that a small file claiming a huge picture costs nothing.

#include "platform/graphics/Bitmap.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace ImageImport {

constexpr size_t maxFileBytes = 64u << 20;
constexpr int maxSide = 16384;
constexpr uint64_t maxPixels = 40u << 20;

// The picture as a premultiplied bitmap, or nullopt with the reason in *error (when given): not
// PNG or JPEG, damaged, larger than the bounds above, or empty.
std::optional<Bitmap> decode(std::span<const uint8_t> bytes, std::string* error = nullptr);

} // namespace ImageImport
