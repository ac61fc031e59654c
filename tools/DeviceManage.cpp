// zorvi device list | erase, and whether a device is booted: keeping devices, once made.

#include "tools/DeviceManage.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceProfile.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/SystemVersion.h"
#include "tools/Commands.h"
#include "tools/FolderRemoval.h"

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isDevice(const std::string& folder) {
    std::error_code failure;
    return std::filesystem::is_regular_file(folder + "/System/Library/CoreServices/SystemVersion.plist",
                                            failure);
}

} // namespace

bool deviceIsBooted(const std::string& root) {
    // The supervisor holds this lock for as long as it runs. Opened beneath the device like every
    // file of it, without waiting: a fifo or a link planted as the lock is no lock of a supervisor's.
    DeviceRoot::setCurrent(root);
    int fd = DeviceFile::open("/var/run/boot.lock", O_RDONLY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat info {};
    bool held = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

int listDevices(const std::string& root) {
    std::set<std::string> folders;
    std::string defaultDevice = DeviceRoot::defaultDirectory();
    std::error_code failure;
    std::filesystem::path parent = std::filesystem::path(defaultDevice).parent_path();
    for (std::filesystem::directory_iterator it(parent, failure), end; !failure && it != end;
         it.increment(failure))
        if (it->is_directory(failure) && isDevice(it->path().string()))
            folders.insert(std::filesystem::absolute(it->path(), failure).string());
    if (!root.empty() && isDevice(root))
        folders.insert(std::filesystem::absolute(root, failure).string());
    if (folders.empty()) {
        std::printf("no devices (make one with 'zorvi device create')\n");
        return 0;
    }
    for (const auto& folder : folders) {
        DeviceRoot::setCurrent(folder);
        std::printf("%s  system %s  screen %s%s\n", folder.c_str(), SystemVersion::productVersion().c_str(),
                    DeviceProfile::formatScreen(DeviceProfile::screen()).c_str(),
                    deviceIsBooted(folder) ? "  booted" : "");
    }
    return 0;
}

int eraseDevice(const std::string& chosenRoot, const CLI::App& command) {
    std::string named = chosenRoot.empty() ? DeviceRoot::defaultDirectory() : chosenRoot;
    // The device is resolved once: a link names the folder it leads to, "DEV/." names DEV.
    std::error_code failure;
    std::string root = std::filesystem::canonical(named, failure).string();
    if (failure || !isDevice(root))
        return commandFailure(command, "no device at " + named);
    if (deviceIsBooted(root))
        return commandFailure(command, root + " is booted; shut it down first");
    std::string error;
    if (!removeFolder(root, error))
        return commandFailure(command, "cannot erase " + root + ": " + error);
    if (root != std::filesystem::absolute(named, failure).lexically_normal().string())
        std::printf("erased %s (named by %s)\n", root.c_str(), named.c_str());
    else
        std::printf("erased %s\n", root.c_str());
    return 0;
}
