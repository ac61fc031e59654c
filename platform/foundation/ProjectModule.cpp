#include "platform/foundation/ProjectModule.h"

#include <dlfcn.h>
#include <map>
#include <mutex>

namespace {

// Found from where this library was loaded, not through a search path (which a sanitizer's
// interposed dlopen would not use).
std::string libraryFolder() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ProjectModule::path), &info) && info.dli_fname) {
        std::string library = info.dli_fname;
        if (auto slash = library.rfind('/'); slash != std::string::npos)
            return library.substr(0, slash + 1);
    }
    return "";
}

struct Loaded {
    void* handle = nullptr;
    std::string failure;
};

} // namespace

std::string ProjectModule::path(const std::string& file) {
    return libraryFolder() + file;
}

void* ProjectModule::entry(const std::string& file, const char* entryName, std::string& error) {
    static std::mutex lock;
    static std::map<std::string, Loaded> modules;
    std::lock_guard<std::mutex> hold(lock);
    auto [it, first] = modules.try_emplace(file);
    Loaded& module = it->second;
    if (first) {
        module.handle = ::dlopen(path(file).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module.handle) {
            const char* why = ::dlerror();
            module.failure = why ? why : file + " not found";
        }
    }
    if (!module.handle) {
        error = module.failure;
        return nullptr;
    }
    void* address = ::dlsym(module.handle, entryName);
    if (!address)
        error = file + " has no entry " + entryName;
    return address;
}
