#pragma once

// Decoded pixels shared by the device's processes: the lock screen and Settings both show the
// wallpaper, and each would otherwise hold a decoded copy of its own. The first process to decode an
// unchanged file puts the pixels in sealed memory (a memfd that can no longer be written, shrunk or
// grown) and leaves a note in the device's "/var/run/images" saying where; another process that
// decodes the same file maps those pages instead. Mapped privately: drawing into the bitmap copies
// the pages it touches, and the shared pages never change.
//
// What a note names is checked, never trusted: the memory must be sealed, hold this decoder's
// header for this very file (FileIdentity) and be exactly as large as the header says. Anything
// else, a note that is missing, or a process that has ended reads as nothing shared, and the caller
// decodes as it would have.

#include "platform/foundation/FileIdentity.h"
#include "platform/graphics/Bitmap.h"

#include <optional>
#include <string_view>

namespace SharedPixels {

// The pixels a process of the device shared for what `decoder` made of the file, or nullopt.
std::optional<Bitmap> find(std::string_view decoder, const FileIdentity& file);

// Shares the decoded image and answers the bitmap over the shared memory (which the caller keeps
// in place of its own copy), or nullopt when it could not be shared (the image is then only the
// caller's). The memory lives while the returned bitmap does.
std::optional<Bitmap> share(std::string_view decoder, const FileIdentity& file, const Bitmap& image);

} // namespace SharedPixels
