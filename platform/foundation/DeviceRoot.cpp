#include "platform/foundation/DeviceRoot.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace DeviceRoot {

namespace {

std::mutex& rootLock() {
    static std::mutex lock;
    return lock;
}

std::string& storage() {
    static std::string root = [] {
        const char* fromEnvironment = std::getenv(environmentVariable);
        std::string value = fromEnvironment ? fromEnvironment : "";
        while (value.size() > 1 && value.back() == '/')
            value.pop_back();
        return value;
    }();
    return root;
}

} // namespace

const std::string& current() {
    std::lock_guard guard(rootLock());
    return storage();
}

void setCurrent(std::string_view directory) {
    std::error_code error;
    // An existing root is resolved once, by the kernel: "d/User/../.." names the folder it reaches
    // (d/var), not the one the text suggests. A root still to be made is taken as written.
    std::filesystem::path resolved = std::filesystem::canonical(std::filesystem::path(directory), error);
    if (error)
        resolved = std::filesystem::absolute(std::filesystem::path(directory), error).lexically_normal();
    std::string value = (error ? std::filesystem::path(directory).lexically_normal() : resolved).string();
    while (value.size() > 1 && value.back() == '/')
        value.pop_back();
    std::lock_guard guard(rootLock());
    storage() = value;
    ::setenv(environmentVariable, value.c_str(), 1);
}

std::optional<std::string> hostPath(std::string_view devicePath) {
    const std::string& root = current();
    if (root.empty() || devicePath.empty() || devicePath.front() != '/')
        return std::nullopt;
    // Resolve "." and ".." lexically; a path that would climb above "/" is refused.
    std::vector<std::string_view> parts;
    size_t start = 1;
    while (start <= devicePath.size()) {
        size_t end = devicePath.find('/', start);
        if (end == std::string_view::npos)
            end = devicePath.size();
        std::string_view part = devicePath.substr(start, end - start);
        if (part == "..") {
            if (parts.empty())
                return std::nullopt;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result = root;
    for (auto part : parts) {
        result += '/';
        result += part;
    }
    return result;
}

std::string defaultDirectory() {
    if (const char* explicitDevice = std::getenv("ZV_DEFAULT_DEVICE"); explicitDevice && *explicitDevice)
        return explicitDevice;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::string(data) + "/zorvi/device";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/zorvi/device";
}

} // namespace DeviceRoot
