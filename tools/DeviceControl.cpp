#include "tools/DeviceControl.h"
#include "hosts/common/CommandLine.h"
#include "hosts/common/ControlSocket.h"
#include "platform/foundation/DeviceRoot.h"
#include "tools/Commands.h"
#include "tools/DeviceManage.h"
#include "tools/ReplyFields.h"
#include "tools/TerminalText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool sendAll(int fd, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::vector<std::string> ControlReply::errors() const {
    std::vector<std::string> messages;
    for (const std::string& line : events) {
        if (ReplyFields::text(line, "event") != "error")
            continue;
        std::string message = ReplyFields::text(line, "message").value_or("");
        // "line 3: ..." means nothing to whoever typed one command.
        if (message.rfind("line ", 0) == 0)
            if (size_t colon = message.find(": "); colon != std::string::npos)
                message.erase(0, colon + 2);
        messages.push_back(message);
    }
    return messages;
}

const std::vector<std::string>& controlledProcesses() {
    static const std::vector<std::string> names{"springboard", "settings"};
    return names;
}

void addProcessOperand(CLI::App& command, std::string& process) {
    command.add_option("PROCESS", process, "springboard or settings")->required();
}

bool knownProcess(const std::string& process, const CLI::App& command) {
    const auto& names = controlledProcesses();
    if (std::find(names.begin(), names.end(), process) != names.end())
        return true;
    CommandLine::usageError(command, "no process " + process + " (springboard or settings)");
    return false;
}

bool selectBootedDevice(const std::string& root, const CLI::App& command) {
    if (!selectDevice(root, command))
        return false;
    if (!deviceIsBooted(DeviceRoot::current())) {
        commandFailure(command, "the device is not booted (boot it with 'zorvi boot" +
                                    (root.empty() ? std::string() : " --root " + root) + "')");
        return false;
    }
    return true;
}

bool singleLine(const std::string& line, const CLI::App& command) {
    if (line.find('\n') == std::string::npos)
        return true;
    CommandLine::usageError(command, "a command is one line: its words cannot hold a line break");
    return false;
}

bool sendControlLine(const std::string& process, const std::string& line, ControlReply& reply,
                     std::string& error) {
    reply = ControlReply{};
    if (line.find('\n') != std::string::npos) {
        error = "a command is one line: its words cannot hold a line break";
        return false;
    }
    int fd = ControlSocket::connect(process, error);
    if (fd < 0)
        return false;
    if (!sendAll(fd, line + "\n")) {
        error = process + " closed the connection: " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    ::shutdown(fd, SHUT_WR);
    std::string pending;
    char buffer[65536];
    for (;;) {
        size_t newline;
        while ((newline = pending.find('\n')) != std::string::npos) {
            std::string event = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            if (ReplyFields::text(event, "event") == "end") {
                reply.ran = ReplyFields::raw(event, "status") == "0";
                ::close(fd);
                return true;
            }
            reply.events.push_back(std::move(event));
        }
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        pending.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    error = process + " ended before it answered";
    return false;
}

int runControlLine(const CLI::App& command, const std::string& process, const std::string& line,
                   ControlReply& reply) {
    if (!singleLine(line, command))
        return 2;
    std::string error;
    if (!sendControlLine(process, line, reply, error))
        return commandFailure(command, error);
    for (const std::string& message : reply.errors())
        commandFailure(command, terminalSafe(message, false));
    return reply.ran ? 0 : 1;
}
