// zorvi log: the device log ("/var/log/syslog"), each line with the process that wrote it; with
// --follow, goes on printing what is written until interrupted.

#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceRoot.h"
#include "tools/Commands.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

int printLog(const std::string& root, bool follow, const CLI::App& command) {
    if (!selectDevice(root, command))
        return 1;
    // Opened beneath the device root, a regular file only: a fifo planted as the log is not waited on.
    int log = -1;
    auto open = [&] {
        log = DeviceFile::open("/var/log/syslog", O_RDONLY | O_NONBLOCK);
        struct stat info {};
        if (log >= 0 && (::fstat(log, &info) != 0 || !S_ISREG(info.st_mode))) {
            std::fprintf(stderr, "zorvi log: the device's /var/log/syslog is not a file\n");
            ::close(log);
            log = -1;
            return false;
        }
        return true;
    };
    if (!open())
        return 1;
    std::string pending;
    // Whole lines only: a line still being written waits for its end.
    auto printAvailable = [&] {
        char buffer[65536];
        ssize_t got;
        while (log >= 0 && (got = ::read(log, buffer, sizeof buffer)) > 0)
            pending.append(buffer, static_cast<size_t>(got));
        size_t end = pending.rfind('\n');
        if (end != std::string::npos) {
            std::fwrite(pending.data(), 1, end + 1, stdout);
            pending.erase(0, end + 1);
        }
        std::fflush(stdout);
    };
    printAvailable();
    while (follow) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (log < 0 && !open())
            return 1;
        printAvailable();
    }
    if (log >= 0)
        ::close(log);
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
