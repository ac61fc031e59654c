#pragma once

// Images decoded from files, shared while anyone still holds them, as the device's own image cache
// shares them: a file that has not changed (FileIdentity) is not decoded a second time. The cache
// holds its images weakly, so it never keeps one alive on its own; an image nobody holds any more
// is decoded afresh when asked for again.

#include "platform/foundation/FileIdentity.h"
#include "platform/graphics/CGImage.h"

#include <optional>
#include <string_view>
#include <vector>

namespace DecodedImageCache {

// What `decoder` made of the file before, while every one of those images is still held.
std::optional<std::vector<Ref<CGImage>>> find(std::string_view decoder, const FileIdentity& file);
// Records what `decoder` made of the file.
void remember(std::string_view decoder, const FileIdentity& file, const std::vector<Ref<CGImage>>& images);

} // namespace DecodedImageCache
