#include "hosts/common/VideoFile.h"
#include "platform/foundation/ProjectModule.h"

std::unique_ptr<VideoFile> VideoFile::create(const std::string& path, int width, int height, int fps,
                                             std::string& error) {
    auto open = reinterpret_cast<decltype(&zv_openVideoFile)>(
        ProjectModule::entry("libzv_video.so", "zv_openVideoFile", error));
    if (!open) {
        error = "cannot record to " + path + ": the encoder could not be loaded: " + error;
        return nullptr;
    }
    return std::unique_ptr<VideoFile>(open(&path, width, height, fps, &error));
}
