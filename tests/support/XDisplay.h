#pragma once

// A virtual X display for tests of the real windows: Xvfb on a display number it picks itself,
// input through xdotool, and the screen read back through xwd, as a person would see it.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <signal.h>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

class XDisplay {
public:
    // Whether the programs it needs are installed.
    static bool available() {
        return ::access("/usr/bin/Xvfb", X_OK) == 0 && ::access("/usr/bin/xdotool", X_OK) == 0 &&
               ::access("/usr/bin/xwd", X_OK) == 0;
    }

    // Starts a server on a display number the server picks itself: it takes the first one that no
    // server holds, whether that server's lock file is in this file system's /tmp or only its socket
    // is visible (a server in another container on the same network namespace), and makes sure a
    // client can reach it.
    XDisplay(int width = 1280, int height = 1024) {
        // A server that another test process is just ending may still hold the number the new one
        // picks ("already active"): it ends at once, and a moment later the number is free.
        for (int attempt = 0; attempt < 8 && m_name.empty(); ++attempt) {
            {
                NumbersLock lock;
                if (start(width, height) && reachable())
                    break;
            }
            stop();
            m_name.clear();
            std::this_thread::sleep_for(std::chrono::milliseconds(200 * (attempt + 1)));
        }
    }
    ~XDisplay() {
        stop();
        if (!m_log.empty())
            ::unlink(m_log.c_str());
    }
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

private:
    // Held by every test process while its server starts or ends. A server that is ending removes
    // its socket files last; a new server that took the same number in that moment would lose
    // them and be unreachable from then on. The file is in the shared /tmp: one that cannot be
    // opened, or a lock that another user holds for more than a few seconds, is gone without.
    class NumbersLock {
    public:
        NumbersLock() : m_fd(::open("/tmp/zv-xvfb-numbers.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
            for (int attempt = 0; m_fd >= 0 && attempt < 200; ++attempt) {
                if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        ~NumbersLock() {
            if (m_fd >= 0)
                ::close(m_fd);
        }
        NumbersLock(const NumbersLock&) = delete;
        NumbersLock& operator=(const NumbersLock&) = delete;

    private:
        int m_fd;
    };

    bool start(int width, int height) {
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0) {
            m_startError = "no pipe for the server's display number";
            return false;
        }
        m_startError.clear();
        m_log = "/tmp/zv-xvfb-" + std::to_string(::getpid()) + ".log";
        std::string fd = std::to_string(pipeEnds[1]),
                    screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(pipeEnds[0]);
            int log = ::open(m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(log, 2);
            ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                    "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipeEnds[1]);
        // The server writes the number and its newline apart, and ends when the second write finds
        // the pipe closed: read to the newline (or the end) before closing.
        char text[32] = {};
        size_t have = 0;
        for (;;) {
            ssize_t got = ::read(pipeEnds[0], text + have, sizeof text - 1 - have);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            have += static_cast<size_t>(got);
            if (std::memchr(text, '\n', have) || have == sizeof text - 1)
                break;
        }
        ::close(pipeEnds[0]);
        if (have == 0) {
            int status = 0;
            if (m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                m_startError =
                    "Xvfb ended before it served a display (status " + std::to_string(status) + ")";
            } else {
                m_startError = "Xvfb did not say which display it serves";
            }
            return false;
        }
        m_name = ":" + std::to_string(std::atoi(text));
        return true;
    }
    // A client gets through, within a few seconds on a loaded machine; else why not, with what the
    // server said.
    bool reachable() {
        for (int i = 0; i < 20; ++i) {
            if (xdotool("getdisplaygeometry") == 0)
                return true;
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                m_startError =
                    "Xvfb on " + m_name + " ended (status " + std::to_string(status) + "): " + log();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        m_startError = "xdotool could not reach display " + m_name;
        return false;
    }
    // The end of what the server wrote to its errors.
    std::string log() const {
        std::string text;
        if (FILE* file = std::fopen(m_log.c_str(), "r")) {
            char buffer[4096];
            text.assign(buffer, std::fread(buffer, 1, sizeof buffer, file));
            std::fclose(file);
        }
        return text.size() > 600 ? text.substr(text.size() - 600) : text;
    }
    void stop() {
        if (m_pid > 0) {
            NumbersLock lock;
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

public:
    // ":N", or "" when the server did not start (and then startError() says why).
    const std::string& name() const { return m_name; }
    const std::string& startError() const { return m_startError; }
    // Runs a shell command on this display; answers its exit status.
    int run(const std::string& command) const {
        return std::system(("DISPLAY=" + m_name + " " + command).c_str());
    }
    // xdotool with the given arguments.
    int xdotool(const std::string& arguments) const {
        return run("xdotool " + arguments + " > /dev/null 2>&1");
    }

    // The screen's pixels as xwd wrote them, read where asked (reading all of them would cost more
    // than a test under a sanitizer can spend on every look).
    struct Picture {
        int width = 0, height = 0;
        std::vector<uint8_t> data;
        size_t offset = 0, bytesPerLine = 0, bytesPerPixel = 4;
        // 0x00RRGGBB
        uint32_t at(int x, int y) const {
            const uint8_t* p = &data[offset + static_cast<size_t>(y) * bytesPerLine +
                                     static_cast<size_t>(x) * bytesPerPixel];
            return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
        }
    };
    // Why the last capture failed.
    const std::string& captureError() const { return m_captureError; }

    // The whole screen as it is now.
    std::optional<Picture> capture() const {
        m_captureError = "xwd could not be started";
        FILE* out = ::popen(("DISPLAY=" + m_name + " xwd -root -silent 2>&1").c_str(), "r");
        if (!out)
            return std::nullopt;
        std::vector<uint8_t> data;
        uint8_t buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, out)) > 0)
            data.insert(data.end(), buffer, buffer + got);
        int status = ::pclose(out);
        m_captureError =
            "xwd exited with " + std::to_string(status) + ": " +
            std::string(data.begin(),
                        data.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(data.size(), 200)));
        if (status != 0)
            m_captureError += "; the server's log: " + log();
        auto field = [&](size_t index) {
            size_t at = index * 4;
            return static_cast<uint32_t>(data[at]) << 24 | static_cast<uint32_t>(data[at + 1]) << 16 |
                   static_cast<uint32_t>(data[at + 2]) << 8 | data[at + 3];
        };
        if (data.size() < 100)
            return std::nullopt;
        Picture picture;
        picture.width = static_cast<int>(field(4));
        picture.height = static_cast<int>(field(5));
        picture.bytesPerPixel = field(11) / 8;
        picture.bytesPerLine = field(12);
        size_t pixelBytes = picture.bytesPerLine * static_cast<size_t>(picture.height);
        if (picture.bytesPerPixel < 3 || picture.bytesPerPixel > 4 || data.size() < pixelBytes ||
            picture.bytesPerLine < static_cast<size_t>(picture.width) * picture.bytesPerPixel)
            return std::nullopt;
        picture.offset = data.size() - pixelBytes;
        picture.data = std::move(data);
        return picture;
    }

private:
    pid_t m_pid = -1;
    std::string m_name;
    std::string m_startError;
    std::string m_log;
    mutable std::string m_captureError;
};

// The screen once the pixel at (x, y) satisfies the check, or as it is after some seconds (a window
// draws in its own time).
template <typename Check>
std::optional<XDisplay::Picture> captureWhen(const XDisplay& display, int x, int y, Check check) {
    std::optional<XDisplay::Picture> picture;
    for (int i = 0; i < 100; ++i) {
        picture = display.capture();
        if (picture && check(picture->at(x, y)))
            return picture;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    return picture;
}
