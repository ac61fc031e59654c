// zorvi io PROCESS screenshot FILE | record start FILE [FPS] | record stop: pictures of a running
// process of the booted device, in device pixels, written by the process itself as its script's
// snapshot and record commands write them.

#include "hosts/common/CommandLine.h"
#include "tools/Commands.h"
#include "tools/DeviceControl.h"
#include "tools/ReplyFields.h"
#include "tools/TerminalText.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

struct IoWords {
    std::string root;
    std::string process;
    std::string file;
    int fps = 30;
};

// The process writes the file, from a folder of its own: a relative name is made this shell's.
bool absoluteFile(const IoWords& words, const CLI::App& command, std::string& path) {
    std::error_code failure;
    path = std::filesystem::absolute(words.file, failure).lexically_normal().string();
    if (failure || path.find_first_of(" \t\r\n") != std::string::npos) {
        CommandLine::usageError(command, "the file's path cannot hold blanks: " + words.file);
        return false;
    }
    return true;
}

int screenshot(const IoWords& words, const CLI::App& command) {
    std::string path;
    if (!absoluteFile(words, command, path))
        return 2;
    ControlReply reply;
    int status = runControlLine(command, words.process, "snapshot " + path, reply);
    if (status == 0)
        std::printf("%s\n", terminalSafe(path, false).c_str());
    return status;
}

int recordStart(const IoWords& words, const CLI::App& command) {
    std::string path;
    if (!absoluteFile(words, command, path))
        return 2;
    ControlReply reply;
    int status = runControlLine(command, words.process,
                                "record start " + path + " " + std::to_string(words.fps), reply);
    if (status == 0)
        std::printf("recording %s to %s ('zorvi io %s record stop' completes it)\n", words.process.c_str(),
                    terminalSafe(path, false).c_str(), words.process.c_str());
    return status;
}

int recordStop(const IoWords& words, const CLI::App& command) {
    ControlReply reply;
    int status = runControlLine(command, words.process, "record stop", reply);
    for (const std::string& event : reply.events)
        if (ReplyFields::text(event, "event") == "record")
            std::printf("recorded %s frames to %s\n", ReplyFields::raw(event, "frames").value_or("?").c_str(),
                        terminalSafe(ReplyFields::text(event, "file").value_or(""), false).c_str());
    return status;
}

} // namespace

void addIoCommand(Commands& commands) {
    auto words = std::make_shared<IoWords>();
    CLI::App* io = commands.add(commands.program(), "io",
                                "screenshots and recordings of a running process of the booted device");
    addRootOption(*io, words->root);
    addProcessOperand(*io, words->process);
    CLI::App* shot = commands.add(*io, "screenshot", "writes the screen as a PNG, in device pixels",
                                  onBootedProcess(words, screenshot));
    shot->add_option("FILE", words->file, "the PNG to write")->required();
    CLI::App* record = commands.add(*io, "record", "records the screen (as the script's record command)");
    CLI::App* start =
        commands.add(*record, "start", "starts recording into FILE (.mp4, .gif, .webp or .apng)",
                     onBootedProcess(words, recordStart));
    start->add_option("FILE", words->file, "the recording to write")->required();
    start->add_option("FPS", words->fps, "frames a second (default 30)")->check(CLI::Range(1, 120));
    commands.add(*record, "stop", "completes the recording", onBootedProcess(words, recordStop));
}
