#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceRoot.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace DeviceLog {

namespace {

struct State {
    std::mutex lock;
    Observer observer;
    std::string processName = "zorvi";
};

State& state() {
    static State instance;
    return instance;
}

std::string timestamp() {
    std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm parts{};
    localtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%b %e %H:%M:%S", &parts);
    return text;
}

void appendToSyslog(const std::string& line) {
    // O_APPEND keeps lines from several processes whole; a missing folder simply means no file log.
    // Beneath the root and without blocking: a symlink or a fifo planted as the log gets nothing.
    int fd = DeviceFile::open("/var/log/syslog", O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK, 0644);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        ssize_t written = ::write(fd, line.data(), line.size());
        (void)written;
    }
    ::close(fd);
}

} // namespace

void setObserver(Observer observer) {
    std::lock_guard guard(state().lock);
    state().observer = std::move(observer);
}

void setProcessName(std::string_view name) {
    std::lock_guard guard(state().lock);
    state().processName = std::string(name);
}

} // namespace DeviceLog

void NSLog(std::string_view message) {
    std::string clean(message);
    for (char& c : clean) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    auto& s = DeviceLog::state();
    DeviceLog::Observer observer;
    std::string name;
    {
        std::lock_guard guard(s.lock);
        observer = s.observer;
        name = s.processName;
    }
    std::string line =
        DeviceLog::timestamp() + " " + name + "[" + std::to_string(::getpid()) + "]: " + clean + "\n";
    DeviceLog::appendToSyslog(line);
    std::fputs(line.c_str(), stderr);
    if (observer)
        observer(clean);
}
