#include "hosts/common/VideoFile.h"

#include <dlfcn.h>

namespace {

using Open = decltype(&zv_openVideoFile);

// The encoder's module, loaded once and kept: its objects may outlive any one recording.
Open encoderModule(std::string& error) {
    static std::string failure;
    static const Open open = []() -> Open {
        void* module = ::dlopen("libzv_video.so", RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* why = ::dlerror();
            failure =
                std::string("the encoder could not be loaded: ") + (why ? why : "libzv_video.so not found");
            return nullptr;
        }
        auto entry = reinterpret_cast<Open>(::dlsym(module, "zv_openVideoFile"));
        if (!entry)
            failure = "the encoder module has no entry point";
        return entry;
    }();
    if (!open)
        error = failure;
    return open;
}

} // namespace

std::unique_ptr<VideoFile> VideoFile::create(const std::string& path, int width, int height, int fps,
                                             std::string& error) {
    Open open = encoderModule(error);
    if (!open) {
        error = "cannot record to " + path + ": " + error;
        return nullptr;
    }
    return std::unique_ptr<VideoFile>(open(&path, width, height, fps, &error));
}
