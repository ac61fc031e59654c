#include "platform/foundation/SystemPrograms.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Device path, and the program that stands for it in the system's folder.
constexpr std::array<std::pair<std::string_view, std::string_view>, 1> programs{{
    {"/usr/bin/killall", "zv-killall"},
}};

// Whether two open files hold the same bytes.
bool sameBytes(int first, int second) {
    struct stat a {
    }, b{};
    if (::fstat(first, &a) != 0 || ::fstat(second, &b) != 0 || !S_ISREG(a.st_mode) || !S_ISREG(b.st_mode) ||
        a.st_size != b.st_size)
        return false;
    char left[65536], right[sizeof left];
    for (off_t at = 0; at < a.st_size;) {
        ssize_t got = ::pread(first, left, sizeof left, at);
        if (got <= 0 || ::pread(second, right, static_cast<size_t>(got), at) != got ||
            !std::equal(left, left + got, right))
            return false;
        at += got;
    }
    return true;
}

// Says in the device log when the device holds a file of its own at the path: it is never run.
void noteDeviceCopy(std::string_view devicePath, const std::string& program) {
    int copy = DeviceFile::open(devicePath, O_RDONLY | O_NONBLOCK);
    if (copy < 0)
        return;
    int system = ::open(program.c_str(), O_RDONLY | O_CLOEXEC);
    if (!sameBytes(copy, system))
        NSLog(std::string(devicePath) + " in this device is not the system's; the system's " +
              std::string(devicePath.substr(devicePath.rfind('/') + 1)) + " runs instead");
    ::close(copy);
    if (system >= 0)
        ::close(system);
}

} // namespace

namespace SystemPrograms {

std::string folder() {
    std::error_code failure;
    return std::filesystem::read_symlink("/proc/self/exe", failure).parent_path().string();
}

std::optional<std::string> locate(std::string_view devicePath) {
    // Compared as the device resolves them, so "/usr//bin/./killall" is the same program.
    std::optional<std::string> asked = DeviceRoot::hostPath(devicePath);
    if (!asked)
        return std::nullopt;
    for (const auto& [path, program] : programs) {
        if (asked != DeviceRoot::hostPath(path))
            continue;
        std::string host = folder() + "/" + std::string(program);
        noteDeviceCopy(path, host);
        return host;
    }
    return std::nullopt;
}

} // namespace SystemPrograms
