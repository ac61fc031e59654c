#include "platform/notify/DarwinNotificationCenter.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/runloop/RunLoop.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* registryDevicePath = "/var/run/notifyd";

// Abstract socket names live outside the file system, so a deep device root cannot overflow
// sun_path; the root's identity keeps two devices on one machine apart.
sockaddr_un abstractAddress(const std::string& name, socklen_t& length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    size_t n = std::min(name.size(), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, name.data(), n);
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
    return address;
}

bool isProcessId(const char* name) {
    if (!*name)
        return false;
    for (const char* p = name; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
    }
    return std::strlen(name) < 12;
}

struct Shared {
    std::mutex lock;
    std::unique_ptr<DarwinNotificationCenter> center;
    pid_t pid = 0;
    std::string root;
};

// Never destroyed: observers (preference stores) may be released during exit.
Shared& sharedState() {
    static Shared* const state = new Shared;
    return *state;
}

} // namespace

DarwinNotificationCenter& DarwinNotificationCenter::shared() {
    auto& state = sharedState();
    std::lock_guard guard(state.lock);
    // A forked child or a process that moved to another device gets a centre of its own.
    if (!state.center || state.pid != ::getpid() || state.root != DeviceRoot::current()) {
        if (state.center && state.pid != ::getpid()) {
            // The parent's socket and marker belong to the parent: close ours without unlinking.
            RunLoop::main()->removeReadSource(state.center->m_socket);
            ::close(state.center->m_socket);
            state.center->m_socket = -1;
            state.center->m_advertised = false;
        }
        // The old centre goes first: a new device folder may have the old one's inode, and so its
        // socket's name.
        state.center.reset();
        state.center.reset(new DarwinNotificationCenter());
        state.pid = ::getpid();
        state.root = DeviceRoot::current();
    }
    return *state.center;
}

DarwinNotificationCenter::DarwinNotificationCenter() {
    start();
}

DarwinNotificationCenter::~DarwinNotificationCenter() {
    if (m_socket >= 0) {
        RunLoop::main()->removeReadSource(m_socket);
        ::close(m_socket);
    }
    if (m_advertised)
        DeviceFile::remove(m_registry + "/" + std::to_string(::getpid()));
}

std::string DarwinNotificationCenter::socketName(long pid) const {
    return std::string("zv-notify/") + m_rootIdentity + "/" + std::to_string(pid);
}

bool DarwinNotificationCenter::start() {
    m_root = DeviceRoot::current();
    // The root's file-system identity, not its name: every path to one device (through a symlink,
    // with "..", relative) reaches the same listeners, and two devices never meet.
    struct stat info {};
    char identity[48];
    if (::stat(m_root.c_str(), &info) == 0)
        std::snprintf(identity, sizeof identity, "%llx-%llx", static_cast<unsigned long long>(info.st_dev),
                      static_cast<unsigned long long>(info.st_ino));
    else
        std::snprintf(identity, sizeof identity, "%zx", std::hash<std::string>()(m_root));
    m_rootIdentity = identity;
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        return false;
    // Abstract names carry no permissions, so any user of the machine can send to this socket; the
    // kernel's credentials on each datagram say who really sent it. Set before bind, so that no
    // datagram arrives without them.
    int passCredentials = 1;
    if (::setsockopt(m_socket, SOL_SOCKET, SO_PASSCRED, &passCredentials, sizeof passCredentials) != 0) {
        ::close(m_socket);
        m_socket = -1;
        return false;
    }
    socklen_t length = 0;
    sockaddr_un address = abstractAddress(socketName(::getpid()), length);
    if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        ::close(m_socket);
        m_socket = -1;
        return false;
    }
    if (DeviceRoot::hostPath(registryDevicePath))
        m_registry = registryDevicePath;
    // Observers run on the main thread, whenever its run loop finds the socket readable.
    RunLoop::main()->addReadSource(m_socket, [this] { dispatchPending(); });
    return true;
}

void DarwinNotificationCenter::advertise() {
    // Only processes that observe are listed, so that a process that only posts (a command-line
    // tool) leaves nothing behind.
    if (m_advertised || m_registry.empty() || m_socket < 0)
        return;
    std::string marker = m_registry + "/" + std::to_string(::getpid()), error;
    if (DeviceFile::write(marker, {}, error)) {
        m_advertised = true;
    }
}

int DarwinNotificationCenter::addObserver(std::string_view name, Callback callback) {
    if (name.empty() || name.size() > maxNameLength || !callback)
        return 0;
    std::lock_guard guard(m_lock);
    advertise();
    int token = m_nextToken++;
    m_observers.emplace(std::string(name), std::make_pair(token, std::move(callback)));
    return token;
}

bool DarwinNotificationCenter::addCallbackObserver(const void* observer, CFNotificationCallback callback,
                                                   std::string_view name, const void* object) {
    if (name.empty() || name.size() > maxNameLength || !callback)
        return false;
    {
        std::lock_guard guard(m_lock);
        if (!m_callbackObservers.emplace(observer, callback, std::string(name), object).second)
            return false;
    }
    return addObserver(name, [this, observer, callback, object](const std::string& posted) {
               callback(this, const_cast<void*>(observer), posted.c_str(), object, nullptr);
           }) != 0;
}

void DarwinNotificationCenter::removeObserver(int token) {
    std::lock_guard guard(m_lock);
    for (auto it = m_observers.begin(); it != m_observers.end(); ++it) {
        if (it->second.first == token) {
            m_observers.erase(it);
            return;
        }
    }
}

void DarwinNotificationCenter::setPostObserver(Callback observer) {
    std::lock_guard guard(m_lock);
    m_postObserver = std::move(observer);
}

bool DarwinNotificationCenter::post(std::string_view name) {
    if (name.empty() || name.size() > maxNameLength)
        return false;
    Callback observer;
    {
        std::lock_guard guard(m_lock);
        observer = m_postObserver;
    }
    if (observer)
        observer(std::string(name));
    int sender = m_socket >= 0 ? m_socket : ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sender < 0)
        return false;
    std::vector<long> peers;
    if (!m_registry.empty()) {
        for (const std::string& entry : DeviceFile::list(m_registry))
            if (isProcessId(entry.c_str()))
                peers.push_back(std::strtol(entry.c_str(), nullptr, 10));
    }
    if (m_socket >= 0 && std::find(peers.begin(), peers.end(), static_cast<long>(::getpid())) == peers.end())
        peers.push_back(::getpid());
    bool sent = false;
    for (long pid : peers) {
        socklen_t length = 0;
        sockaddr_un address = abstractAddress(socketName(pid), length);
        ssize_t result = -1;
        // A full receive queue is momentary; a few short retries ride it out.
        for (int attempt = 0; attempt < 50; ++attempt) {
            result = ::sendto(sender, name.data(), name.size(), MSG_DONTWAIT,
                              reinterpret_cast<sockaddr*>(&address), length);
            if (result >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                break;
            ::usleep(1000);
        }
        if (result >= 0)
            sent = true;
        else if ((errno == ECONNREFUSED || errno == ENOENT) && !m_registry.empty())
            DeviceFile::remove(m_registry + "/" + std::to_string(pid)); // the process has gone
    }
    if (sender != m_socket)
        ::close(sender);
    return sent;
}

int DarwinNotificationCenter::dispatchPending() {
    if (m_socket < 0)
        return 0;
    int arrived = 0;
    char buffer[maxNameLength + 1];
    for (;;) {
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
        iovec data{buffer, sizeof buffer};
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        ssize_t got = ::recvmsg(m_socket, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (got < 0)
            break;
        if (!fromThisUser(message))
            continue;
        ++arrived;
        if (got == 0 || static_cast<size_t>(got) > maxNameLength)
            continue;
        std::string name(buffer, static_cast<size_t>(got));
        std::vector<Callback> callbacks;
        {
            std::lock_guard guard(m_lock);
            auto [first, last] = m_observers.equal_range(name);
            for (auto it = first; it != last; ++it)
                callbacks.push_back(it->second.second);
        }
        // Called without the lock: an observer may add or remove observers, or post.
        for (auto& callback : callbacks)
            callback(name);
    }
    return arrived;
}

bool DarwinNotificationCenter::fromThisUser(const msghdr& message) {
    const ucred* sender = nullptr;
    for (cmsghdr* part = CMSG_FIRSTHDR(&message); part;
         part = CMSG_NXTHDR(const_cast<msghdr*>(&message), part)) {
        if (part->cmsg_level == SOL_SOCKET && part->cmsg_type == SCM_CREDENTIALS &&
            part->cmsg_len >= CMSG_LEN(sizeof(ucred)))
            sender = reinterpret_cast<const ucred*>(CMSG_DATA(part));
    }
    if (sender && sender->uid == ::getuid())
        return true;
    // One line for the first stranger: a flood of posts must not become a flood of log lines.
    if (!m_strangerLogged) {
        m_strangerLogged = true;
        NSLog(sender ? "notify: dropped a notification from user " + std::to_string(sender->uid) + " (pid " +
                           std::to_string(sender->pid) + "); only this user's processes are heard"
                     : std::string("notify: dropped a notification without its sender's credentials"));
    }
    return false;
}

int DarwinNotificationCenter::waitAndDispatch(int timeoutMs) {
    if (m_socket < 0)
        return 0;
    pollfd descriptor{m_socket, POLLIN, 0};
    if (::poll(&descriptor, 1, timeoutMs) <= 0)
        return 0;
    return dispatchPending();
}

DarwinNotificationCenter* CFNotificationCenterGetDarwinNotifyCenter() {
    return &DarwinNotificationCenter::shared();
}

void CFNotificationCenterAddObserver(DarwinNotificationCenter* center, const void* observer,
                                     CFNotificationCallback callback, const char* name, const void* object,
                                     int) {
    if (center && callback && name)
        center->addCallbackObserver(observer, callback, name, object);
}

void CFNotificationCenterPostNotification(DarwinNotificationCenter* center, const char* name, const void*,
                                          const void*, bool) {
    if (center && name)
        center->post(name);
}
