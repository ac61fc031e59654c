#include "tools/picturetest/PictureFile.h"
#include "platform/foundation/AtomicFile.h"
#include "platform/graphics/ImageImport.h"

#include <algorithm>

PictureFile readPictureFile(const std::string& path) {
    PictureFile file;
    switch (AtomicFile::read(path, ImageImport::maxFileBytes, file.bytes, file.error)) {
    case AtomicFile::ReadStatus::Read:
        file.status = PictureFile::Status::Read;
        break;
    case AtomicFile::ReadStatus::Missing:
        file.status = PictureFile::Status::Missing;
        break;
    case AtomicFile::ReadStatus::Failed:
        file.status = PictureFile::Status::Unreadable;
        break;
    }
    return file;
}

std::optional<Bitmap> decodePicture(const std::vector<uint8_t>& bytes, std::string& error) {
    static const uint8_t pngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    // The decoder takes JPEG too; an expected picture is a PNG and nothing else.
    if (bytes.size() < sizeof pngSignature || !std::equal(pngSignature, pngSignature + 8, bytes.begin())) {
        error = "not a PNG file";
        return std::nullopt;
    }
    return ImageImport::decode(bytes, &error);
}
