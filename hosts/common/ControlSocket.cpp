#include "hosts/common/ControlSocket.h"
#include "platform/foundation/DeviceFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The socket's address through the folder's descriptor: the name is never resolved from the root.
bool addressOf(int folder, const std::string& leaf, sockaddr_un& address) {
    std::string path = DeviceFile::descriptorPath(folder) + "/" + leaf;
    if (path.size() >= sizeof address.sun_path)
        return false;
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool validName(const std::string& name) {
    return !name.empty() && name.size() <= 32 && name.find_first_of("/.") == std::string::npos;
}

} // namespace

namespace ControlSocket {

Listening listen(const std::string& name, std::string& error) {
    Listening listening;
    if (!validName(name)) {
        error = "not a process name: " + name;
        return listening;
    }
    std::string leaf;
    int dir = DeviceFile::openParent(std::string(folder) + "/" + name, true, leaf);
    if (dir < 0) {
        error = std::string("cannot use the device's ") + folder + ": " + std::strerror(errno);
        return listening;
    }
    sockaddr_un address;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    bool bound = false;
    if (fd >= 0 && addressOf(dir, leaf, address)) {
        // One left by a process that ended (a crash leaves its socket) is replaced; anything else
        // at that name is not ours to remove.
        struct stat info {};
        if (::fstatat(dir, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISSOCK(info.st_mode))
            ::unlinkat(dir, leaf.c_str(), 0);
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                ::fchmodat(dir, leaf.c_str(), 0666, 0) == 0 && ::listen(fd, 16) == 0 &&
                ::fstatat(dir, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
        listening.device = info.st_dev;
        listening.inode = info.st_ino;
    }
    if (!bound) {
        error = "cannot listen at " + std::string(folder) + "/" + name + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    ::close(dir);
    listening.fd = fd;
    return listening;
}

void remove(const std::string& name, const Listening& listening) {
    std::string leaf;
    int dir = DeviceFile::openParent(std::string(folder) + "/" + name, false, leaf);
    if (dir < 0)
        return;
    struct stat named {};
    if (::fstatat(dir, leaf.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == listening.inode &&
        named.st_dev == listening.device)
        ::unlinkat(dir, leaf.c_str(), 0);
    ::close(dir);
}

int connect(const std::string& name, std::string& error) {
    if (!validName(name)) {
        error = "not a process name: " + name;
        return -1;
    }
    int dir = DeviceFile::open(folder, O_PATH | O_DIRECTORY);
    sockaddr_un address;
    if (dir < 0 || !addressOf(dir, name, address)) {
        error = name + " is not running (nothing serves commands there)";
        if (dir >= 0)
            ::close(dir);
        return -1;
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        int failure = errno;
        error = failure == ENOENT || failure == ECONNREFUSED
                    ? name + " is not running (nothing serves commands there)"
                    : "cannot reach " + name + ": " + std::strerror(failure);
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    ::close(dir);
    return fd;
}

} // namespace ControlSocket
