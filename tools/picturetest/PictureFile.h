#pragma once

// Reading a picture file of a test (an expected picture, or one a run took).

#include "platform/graphics/Bitmap.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct PictureFile {
    enum class Status { Read, Missing, Unreadable };
    Status status = Status::Missing;
    std::vector<uint8_t> bytes;
    // Why it is unreadable.
    std::string error;
};

// The file's bytes; a file that is not there is Missing, anything else that cannot be read
// (a folder, too large) Unreadable.
PictureFile readPictureFile(const std::string& path);

// The picture in a file's bytes, or nullopt with the reason in error (not a PNG, damaged).
std::optional<Bitmap> decodePicture(const std::vector<uint8_t>& bytes, std::string& error);
