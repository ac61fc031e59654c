// zorvi record: runs a script headless on the lock-screen host and records all of it, the one-liner
// for a bug report. Without --root the run gets a fresh device of its own (--system and --screen
// choose it), removed afterwards; with --root, that device as it is.

#include "hosts/common/VideoFormats.h"
#include "tools/CommandLine.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* name = "record";
constexpr const char* usageText =
    "usage: zorvi record [--root DIR] [--system VERSION] [--screen WxH@S] SCRIPT OUT";

std::string programBeside(const char* program) {
    std::error_code error;
    return (std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / program).string();
}

// Runs a program beside this one and answers its exit status (128 + the signal that ended it).
int runBeside(const char* program, const std::vector<std::string>& args, bool quiet) {
    std::string path = programBeside(program);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t child = ::fork();
    if (child < 0) {
        std::fprintf(stderr, "zorvi record: cannot start %s: %s\n", program, std::strerror(errno));
        return 1;
    }
    if (child == 0) {
        if (quiet && std::freopen("/dev/null", "w", stdout) == nullptr)
            ::_exit(127);
        ::execv(path.c_str(), argv.data());
        std::fprintf(stderr, "zorvi record: cannot run %s: %s\n", path.c_str(), std::strerror(errno));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

} // namespace

int commandRecord(const Arguments& args) {
    std::string error;
    auto line = CommandLine::parse(args, {"--root", "--system", "--screen"}, {}, error);
    if (!line)
        return commandLineError(name, error + "\n" + usageText);
    const auto& words = line->positional();
    if (words.size() != 2)
        return commandLineError(name, std::string("wants a script and a file to record to\n") + usageText);
    const std::string& script = words[0];
    const std::string& out = words[1];
    if (!videoFormatForPath(out))
        return commandLineError(name,
                                "cannot record to " + out + ": the name must end in " + videoFormatNames());
    auto root = line->value("--root");
    if (root && (line->value("--system") || line->value("--screen")))
        return commandLineError(name,
                                "--system and --screen choose a new device; they cannot go with --root");

    std::string device;
    if (root) {
        device = *root;
    } else {
        std::string folder = (std::filesystem::temp_directory_path() / "zorvi-record-XXXXXX").string();
        if (!::mkdtemp(folder.data())) {
            std::fprintf(stderr, "zorvi record: cannot make a device folder: %s\n", std::strerror(errno));
            return 1;
        }
        device = folder;
        std::vector<std::string> create{"device", "create", "--root", device, "--force"};
        for (const char* option : {"--system", "--screen"})
            if (auto value = line->value(option)) {
                create.push_back(option);
                create.push_back(*value);
            }
        if (int status = runBeside("zorvi", create, true); status != 0) {
            std::filesystem::remove_all(device);
            return status;
        }
    }
    // Ctrl-C reaches the host too, which completes the recording; this process waits for it.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    int status = runBeside("zv-springboard",
                           {"--root", device, "--headless", "--script", script, "--record", out}, false);
    if (!root) {
        std::error_code ignored;
        std::filesystem::remove_all(device, ignored);
    }
    if (status == 0 || status == 1 || status == 130) {
        std::error_code ignored;
        if (std::filesystem::is_regular_file(out, ignored))
            std::printf("recorded %s\n", out.c_str());
    }
    return status;
}
