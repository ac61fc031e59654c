#include "tools/DevRestart.h"
#include "tools/DeviceControl.h"
#include "tools/ReplyFields.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto retry = std::chrono::milliseconds(3);

// The pid the device's supervisor started the process with, 0 when it runs none.
pid_t runningPid(const std::string& process) {
    ControlReply reply;
    std::string error;
    if (!sendControlLine("boot", "state", reply, error) || reply.events.empty())
        return 0;
    const std::string& state = reply.events.front();
    std::string entry = "{\"process\":\"" + process + "\",\"pid\":";
    size_t at = state.find(entry);
    return at == std::string::npos ? 0 : std::atoi(state.c_str() + at + entry.size());
}

// Sends `render` once: true when the process answered with a drawn frame.
bool drewFrame(const std::string& process, std::string& error) {
    ControlReply reply;
    if (!sendControlLine(process, "render", reply, error))
        return false;
    bool frame = std::any_of(reply.events.begin(), reply.events.end(), [](const std::string& event) {
        return ReplyFields::text(event, "event") == "frame";
    });
    if (!frame)
        error = process + " answered render without a frame";
    return frame;
}

} // namespace

bool waitForFrame(const std::string& process, std::chrono::milliseconds limit, std::string& error,
                  const std::function<bool()>& hopeless) {
    auto until = Clock::now() + limit;
    while (!drewFrame(process, error)) {
        if (Clock::now() > until || (hopeless && hopeless()))
            return false;
        std::this_thread::sleep_for(retry);
    }
    return true;
}

Restarted restartDeviceProcess(const std::string& process, std::chrono::milliseconds limit) {
    Restarted restarted;
    pid_t old = runningPid(process);
    ControlReply reply;
    std::string line = process == "springboard" ? "respring" : "restart settings";
    if (!sendControlLine("boot", line, reply, restarted.error))
        return restarted;
    if (!reply.ran) {
        auto errors = reply.errors();
        restarted.error = "the supervisor did not " + line + (errors.empty() ? "" : ": " + errors.front());
        return restarted;
    }
    auto until = Clock::now() + limit;
    // The supervisor ends the old process before it starts the new one: once it names a new pid,
    // whatever answers on the socket is the new process.
    for (;;) {
        pid_t now = runningPid(process);
        if (now > 0 && now != old && drewFrame(process, restarted.error))
            break;
        if (Clock::now() > until) {
            restarted.error = "no new " + process + " drew a frame within " + std::to_string(limit.count()) +
                              " ms" + (restarted.error.empty() ? "" : " (" + restarted.error + ")");
            return restarted;
        }
        std::this_thread::sleep_for(retry);
    }
    restarted.frame = Clock::now();
    restarted.done = true;
    restarted.error.clear();
    return restarted;
}
