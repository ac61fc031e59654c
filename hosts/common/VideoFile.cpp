#include "hosts/common/VideoFile.h"
#include "platform/foundation/PageMemory.h"

#include <dlfcn.h>

namespace {

using Open = decltype(&zv_openVideoFile);

// The module is built and kept beside the project's shared libraries: found from where one of them
// was loaded, not through a search path (which a sanitizer's interposed dlopen would not use).
std::string modulePath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&PageMemory::allocate), &info) && info.dli_fname) {
        std::string library = info.dli_fname;
        if (auto slash = library.rfind('/'); slash != std::string::npos)
            return library.substr(0, slash + 1) + "libzv_video.so";
    }
    return "libzv_video.so";
}

// The encoder's module, loaded once and kept: its objects may outlive any one recording.
Open encoderModule(std::string& error) {
    static std::string failure;
    static const Open open = []() -> Open {
        void* module = ::dlopen(modulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
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
