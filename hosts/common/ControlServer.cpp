#include "hosts/common/ControlServer.h"
#include "platform/foundation/DeviceLog.h"

#include <cerrno>
#include <cstring>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The listening socket's key in the epoll set; clients use their ids, which start at 1.
constexpr uint64_t listeningKey = 0;

} // namespace

ControlServer::~ControlServer() {
    for (auto& [id, client] : m_clients)
        ::close(client.fd);
    if (m_listening.fd >= 0) {
        ControlSocket::remove(m_name, m_listening);
        ::close(m_listening.fd);
    }
    if (m_epoll >= 0)
        ::close(m_epoll);
}

bool ControlServer::listen(const std::string& name, std::string& error) {
    m_name = name;
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (m_epoll < 0) {
        error = std::string("cannot serve commands: ") + std::strerror(errno);
        return false;
    }
    m_listening = ControlSocket::listen(name, error);
    if (m_listening.fd < 0)
        return false;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = listeningKey;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_listening.fd, &event);
    return true;
}

bool ControlServer::allowed(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return false;
    if (peer.uid == ::geteuid() || peer.uid == 0)
        return true;
    NSLog("control: refused a connection to " + m_name + " from user " + std::to_string(peer.uid) +
          " (process " + std::to_string(peer.pid) + "): only the device's owner may drive it");
    return false;
}

void ControlServer::accept() {
    for (;;) {
        int fd = ::accept4(m_listening.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        if (!allowed(fd)) {
            ::close(fd);
            continue;
        }
        if (m_clients.size() >= maxClients) {
            NSLog("control: " + m_name + " serves " + std::to_string(maxClients) +
                  " clients already; a new one is turned away");
            ::close(fd);
            continue;
        }
        uint64_t id = m_nextId++;
        m_clients[id].fd = fd;
        watch(id);
    }
}

void ControlServer::watch(uint64_t id) {
    Client& client = m_clients[id];
    epoll_event event{};
    // A client that sent everything is only watched while it has replies to take.
    event.events = (client.ended ? 0u : uint32_t{EPOLLIN}) | (client.writing ? uint32_t{EPOLLOUT} : 0u);
    event.data.u64 = id;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_MOD, client.fd, &event) != 0)
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, client.fd, &event);
}

void ControlServer::drop(uint64_t id, const std::string& why) {
    auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    if (!why.empty())
        NSLog("control: " + m_name + " dropped a client: " + why);
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, it->second.fd, nullptr);
    ::close(it->second.fd);
    m_clients.erase(it);
    std::erase_if(m_lines, [id](const auto& line) { return line.first == id; });
}

void ControlServer::closeIfDone(uint64_t id) {
    auto it = m_clients.find(id);
    if (it != m_clients.end() && it->second.ended && it->second.waiting == 0 && it->second.output.empty())
        drop(id, "");
}

void ControlServer::queue(uint64_t id, std::string line) {
    Client& client = m_clients[id];
    if (client.waiting >= maxWaitingLines)
        return drop(id, std::to_string(maxWaitingLines) + " of its lines wait already");
    ++client.waiting;
    m_lines.emplace_back(id, std::move(line));
}

void ControlServer::readFrom(uint64_t id) {
    char buffer[16384];
    for (;;) {
        auto it = m_clients.find(id);
        if (it == m_clients.end())
            return;
        Client& client = it->second;
        ssize_t got = ::recv(client.fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (got <= 0) {
            // Its lines still run; what it left unfinished is no line.
            client.ended = true;
            client.input.clear();
            watch(id);
            return closeIfDone(id);
        }
        for (ssize_t i = 0; i < got; ++i) {
            char c = buffer[i];
            if (client.skipping) {
                if (c == '\n') {
                    client.skipping = false;
                    queue(id, "");
                } else if (++client.skipped > maxSkippedBytes) {
                    return drop(id, "it sent over " + std::to_string(maxSkippedBytes) +
                                        " bytes without a newline");
                }
            } else if (c == '\n') {
                queue(id, std::move(client.input));
                client.input.clear();
            } else if (c == '\0' || client.input.size() == maxLineLength) {
                client.skipping = true;
                client.skipped = 0;
                client.input.clear();
            } else {
                client.input.push_back(c);
            }
            if (!m_clients.count(id))
                return;
        }
    }
}

void ControlServer::send(uint64_t id, const std::string& reply) {
    auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    if (it->second.output.size() + reply.size() > maxUnsentBytes)
        return drop(id, "it does not read its replies");
    it->second.output += reply;
    flush(id);
}

void ControlServer::flush(uint64_t id) {
    auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    Client& client = it->second;
    while (!client.output.empty()) {
        ssize_t sent =
            ::send(client.fd, client.output.data(), client.output.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (sent < 0)
            return drop(id, ""); // gone mid-reply: nothing more to tell it
        client.output.erase(0, static_cast<size_t>(sent));
    }
    bool writing = !client.output.empty();
    if (writing != client.writing) {
        client.writing = writing;
        watch(id);
    }
    closeIfDone(id);
}

void ControlServer::serve() {
    epoll_event events[32];
    int ready;
    while ((ready = ::epoll_wait(m_epoll, events, 32, 0)) > 0) {
        for (int i = 0; i < ready; ++i) {
            uint64_t key = events[i].data.u64;
            if (key == listeningKey) {
                accept();
                continue;
            }
            // Gone both ways: no reply can reach it.
            if (events[i].events & (EPOLLHUP | EPOLLERR)) {
                drop(key, "");
                continue;
            }
            if (events[i].events & EPOLLOUT)
                flush(key);
            if (events[i].events & EPOLLIN)
                readFrom(key);
        }
        if (ready < 32)
            break;
    }
    runWaiting();
}

void ControlServer::runWaiting() {
    if (m_running || (m_busy && m_busy()))
        return;
    m_running = true;
    while (!m_lines.empty()) {
        auto [id, line] = std::move(m_lines.front());
        m_lines.pop_front();
        std::string reply = m_handler(line);
        auto it = m_clients.find(id);
        if (it == m_clients.end())
            continue;
        --it->second.waiting;
        send(id, reply);
    }
    m_running = false;
}
