// zorvi send PROCESS LINE: one script line to a running process of the booted device, its events
// printed as trace lines (one JSON object a line).

#include "hosts/common/CommandLine.h"
#include "tools/Commands.h"
#include "tools/DeviceControl.h"

#include <cstdio>
#include <memory>

namespace {

struct SendWords {
    std::string root;
    std::string process;
    std::vector<std::string> line;
};

int sendLine(const SendWords& words, const CLI::App& command) {
    if (!knownProcess(words.process, command))
        return 2;
    if (!selectBootedDevice(words.root, command))
        return 1;
    std::string line;
    for (const std::string& word : words.line)
        line += (line.empty() ? "" : " ") + word;
    if (!singleLine(line, command))
        return 2;
    ControlReply reply;
    std::string error;
    if (!sendControlLine(words.process, line, reply, error))
        return commandFailure(command, error);
    for (const std::string& event : reply.events)
        std::printf("%s\n", event.c_str());
    return reply.ran ? 0 : 1;
}

} // namespace

void addSendCommand(Commands& commands) {
    auto words = std::make_shared<SendWords>();
    CLI::App* send = commands.add(commands.program(), "send",
                                  "runs one script line in a running process of the booted device and prints "
                                  "its events",
                                  [words](const CLI::App& command) { return sendLine(*words, command); });
    addRootOption(*send, words->root);
    addProcessOperand(*send, words->process);
    send->add_option("LINE", words->line, "the line, as a script writes it")->required();
    CommandLine::setOperands(*send, "PROCESS LINE");
}
