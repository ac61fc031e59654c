#include "hosts/common/VideoFormats.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace {

// GIF and APNG are written here (the muxer, encoder and pixels then say what ffmpeg would use).
const VideoFormat formats[] = {
    {".mp4", "mp4", "libx264", AV_PIX_FMT_YUV420P, true},
    {".gif", "gif", "gif", AV_PIX_FMT_PAL8, false, VideoWriter::gif},
    {".webp", "webp", "libwebp_anim", AV_PIX_FMT_YUV420P, false},
    {".apng", "apng", "apng", AV_PIX_FMT_RGB24, false, VideoWriter::apng},
    {".png", "apng", "apng", AV_PIX_FMT_RGB24, false, VideoWriter::apng},
};

} // namespace

const VideoFormat* videoFormatForPath(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& format : formats)
        if (extension == format.extension)
            return &format;
    return nullptr;
}

std::string videoFormatNames() {
    std::string names;
    size_t count = std::size(formats);
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            names += i + 1 == count ? " or " : ", ";
        names += formats[i].extension;
    }
    return names;
}
