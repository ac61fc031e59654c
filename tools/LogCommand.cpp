// zorvi log: the device log ("/var/log/syslog"), each line with the process that wrote it; with
// --follow, goes on printing what is written until interrupted.

#include "platform/foundation/DeviceRoot.h"
#include "tools/CommandLine.h"
#include "tools/Commands.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

int commandLog(const Arguments& args) {
    std::string error;
    auto line = CommandLine::parse(args, {"--root"}, {"--follow"}, error);
    if (!line || !line->positional().empty())
        return commandLineError("log", line ? "usage: log [--root DIR] [--follow]" : error);
    if (!selectDevice(*line, "log", true))
        return 1;
    auto path = DeviceRoot::hostPath("/var/log/syslog");
    std::ifstream log(*path, std::ios::binary);
    std::string pending;
    // Whole lines only: a line still being written waits for its end.
    auto printAvailable = [&] {
        log.clear();
        char buffer[65536];
        while (log.read(buffer, sizeof buffer) || log.gcount() > 0) {
            pending.append(buffer, static_cast<size_t>(log.gcount()));
            if (log.eof())
                break;
        }
        size_t end = pending.rfind('\n');
        if (end != std::string::npos) {
            std::fwrite(pending.data(), 1, end + 1, stdout);
            pending.erase(0, end + 1);
        }
        std::fflush(stdout);
    };
    printAvailable();
    while (line->flag("--follow")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (!log.is_open())
            log.open(*path, std::ios::binary);
        printAvailable();
    }
    return 0;
}
