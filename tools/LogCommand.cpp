// zorvi log: the device log ("/var/log/syslog"), each line with the process that wrote it; with
// --follow, goes on printing what is written until interrupted, following the log by its name
// (a log emptied, rewritten or replaced is read again from its start).

#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceRoot.h"
#include "tools/Commands.h"
#include "tools/TerminalText.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* logPath = "/var/log/syslog";
// Read and printed a piece at a time: a line longer than this is printed in pieces, so memory
// stays bounded whatever the log holds.
constexpr size_t pieceBytes = 64 * 1024;
// The last bytes read are compared with the log's on each look: a log emptied and written again as
// far within a fifth of a second differs there, whatever its size.
constexpr size_t tailBytes = 64;

class LogReader {
public:
    explicit LogReader(const CLI::App& command) : m_command(command) {}
    ~LogReader() { close(); }

    // Opened beneath the device root, a regular file only: a fifo planted as the log is not waited
    // on. quiet: a log that is missing for now is no error (while following).
    bool open(bool quiet) {
        close();
        m_fd = DeviceFile::open(logPath, O_RDONLY | O_NONBLOCK);
        struct stat info {};
        if (m_fd >= 0 && (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))) {
            close();
            commandFailure(m_command, std::string("the device's ") + logPath + " is not a file");
            return false;
        }
        if (m_fd < 0 && !quiet) {
            commandFailure(m_command, std::string("the device has no ") + logPath);
            return false;
        }
        m_identity = info;
        m_offset = 0;
        m_tail.clear();
        return true;
    }

    // Prints what was written since the last call: whole lines, and a line longer than a piece in
    // pieces. atEnd: the last line is printed even without its newline.
    void printAvailable(bool atEnd) {
        char buffer[pieceBytes];
        ssize_t got;
        while (m_fd >= 0 && (got = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            m_offset += got;
            m_tail.append(buffer, static_cast<size_t>(got));
            if (m_tail.size() > tailBytes)
                m_tail.erase(0, m_tail.size() - tailBytes);
            m_pending.append(buffer, static_cast<size_t>(got));
            size_t end = m_pending.rfind('\n');
            if (end != std::string::npos) {
                print(std::string_view(m_pending).substr(0, end + 1));
                m_pending.erase(0, end + 1);
            }
            if (m_pending.size() >= pieceBytes) {
                print(m_pending);
                m_pending.clear();
            }
        }
        if (atEnd)
            endPendingLine();
        std::fflush(stdout);
    }

    // Prints the last line read, even without its newline.
    void endPendingLine() {
        print(m_pending);
        m_pending.clear();
        if (!m_atLineStart)
            print("\n");
    }

    // The log by its name now: a different file (replaced), or shorter than what was read
    // (emptied), is read again from its start.
    bool changed() const {
        int fd = DeviceFile::open(logPath, O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            return m_fd >= 0;
        struct stat named {};
        bool statted = ::fstat(fd, &named) == 0;
        ::close(fd);
        if (!statted)
            return false;
        return m_fd < 0 || named.st_dev != m_identity.st_dev || named.st_ino != m_identity.st_ino ||
               named.st_size < m_offset;
    }

    // A log emptied and written again past where the reading stood since the last look (the bytes
    // before that point are no longer those read) is read again from its start.
    void restartIfRewritten() {
        if (m_fd < 0 || m_tail.empty())
            return;
        std::string now(m_tail.size(), '\0');
        if (::pread(m_fd, now.data(), now.size(), m_offset - static_cast<off_t>(now.size())) ==
                static_cast<ssize_t>(now.size()) &&
            now == m_tail)
            return;
        endPendingLine();
        if (::lseek(m_fd, 0, SEEK_SET) == 0) {
            m_offset = 0;
            m_tail.clear();
        }
    }

    bool isOpen() const { return m_fd >= 0; }

private:
    void print(std::string_view text) {
        if (text.empty())
            return;
        std::string safe = terminalSafe(text, true);
        std::fwrite(safe.data(), 1, safe.size(), stdout);
        m_atLineStart = text.back() == '\n';
    }

    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    const CLI::App& m_command;
    int m_fd = -1;
    struct stat m_identity {};
    off_t m_offset = 0;
    std::string m_pending;
    std::string m_tail;        // the last bytes read, to tell a log rewritten in place
    bool m_atLineStart = true; // what was printed last ends its line
};

int printLog(const std::string& root, bool follow, const CLI::App& command) {
    if (!selectDevice(root, command))
        return 1;
    LogReader log(command);
    if (!log.open(false))
        return 1;
    log.printAvailable(!follow);
    while (follow) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        log.restartIfRewritten();
        log.printAvailable(false);
        if (log.changed()) {
            // What the old file still held is printed before the new one is read.
            log.printAvailable(true);
            if (!log.open(true))
                return 1;
            log.printAvailable(false);
        }
    }
    return 0;
}

} // namespace

void addLogCommand(Commands& commands) {
    auto root = std::make_shared<std::string>();
    auto follow = std::make_shared<bool>(false);
    CLI::App* log =
        commands.add(commands.program(), "log", "the device log, each line with the process that wrote it",
                     [root, follow](const CLI::App& command) { return printLog(*root, *follow, command); });
    addRootOption(*log, *root);
    log->add_flag("--follow", *follow, "goes on printing what is written until interrupted");
}
