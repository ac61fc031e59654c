#pragma once

// Serves a process's control socket (ControlSocket.h): clients connect, send command lines and
// read each line's reply. Everything is non-blocking and bounded, so that no client can stall or
// end the process: a silent client costs a descriptor, a line longer than maxLineLength is
// answered as an error and skipped, a client that does not read its replies or goes away mid-reply
// is dropped. Only the process's own user (or root) may connect; anyone else is refused, with a
// line in the device log.
//
// All of it is one descriptor to wait on (an epoll set), readable whenever a socket needs service;
// the owner calls serve() then. Lines run in the order they arrived, one at a time, through the
// handler; while the owner is busy (inside a line of its own) they wait, and runWaiting() runs them
// later.

#include "hosts/common/ControlSocket.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>

class ControlServer {
public:
    // Runs one line and answers the whole reply to send back. `line` is empty for a line that was
    // too long or not text.
    using Handler = std::function<std::string(const std::string& line)>;

    explicit ControlServer(Handler handler) : m_handler(std::move(handler)) {}
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens as process `name` of the current device; false with error set.
    bool listen(const std::string& name, std::string& error);
    // Readable whenever serve() has something to do.
    int descriptor() const { return m_epoll; }
    // Accepts, reads and writes what is ready, then runs the lines that wait unless the owner is busy.
    void serve();
    void runWaiting();
    // While this answers true, lines wait (the owner is in the middle of something).
    void setBusy(std::function<bool()> busy) { m_busy = std::move(busy); }

    static constexpr size_t maxLineLength = 4096;
    // Past these a client is dropped.
    static constexpr size_t maxSkippedBytes = 1 << 20;
    static constexpr size_t maxUnsentBytes = 16 << 20;
    static constexpr size_t maxWaitingLines = 1024;
    static constexpr size_t maxClients = 64;

private:
    struct Client {
        int fd = -1;
        std::string input;
        bool skipping = false; // inside a line that is too long
        size_t skipped = 0;
        std::string output;
        bool writing = false; // waiting for the socket to take more
        bool ended = false;   // sent all it will send
        size_t waiting = 0;   // lines of its queued
    };

    void accept();
    bool allowed(int fd);
    void readFrom(uint64_t id);
    void queue(uint64_t id, std::string line);
    void send(uint64_t id, const std::string& reply);
    void flush(uint64_t id);
    void watch(uint64_t id);
    void drop(uint64_t id, const std::string& why);
    void closeIfDone(uint64_t id);

    Handler m_handler;
    std::function<bool()> m_busy;
    std::string m_name;
    ControlSocket::Listening m_listening;
    int m_epoll = -1;
    uint64_t m_nextId = 1;
    std::map<uint64_t, Client> m_clients;
    std::deque<std::pair<uint64_t, std::string>> m_lines; // (client, line) in arrival order
    bool m_running = false;
};
