#pragma once

// Writing PNG files, through cairo (whose pixel layout is Bitmap's).

#include "platform/graphics/Bitmap.h"
#include "runtime/Ref.h"

#include <cstdint>
#include <string>
#include <vector>

class NSData;
class UIImage;

// The PNG encoding of the bitmap; empty if encoding failed.
std::vector<uint8_t> encodePNG(const Bitmap& bitmap);
// The image's pixels as PNG data, or nil for a nil image or a failed encoding.
Ref<NSData> UIImagePNGRepresentation(const UIImage* image);
// Writes the bitmap as a PNG file at a host path, replacing it atomically and making missing
// folders. False, with the reason in *error when given, on failure.
bool writePNGFile(const Bitmap& bitmap, const std::string& hostPath, std::string* error = nullptr);
