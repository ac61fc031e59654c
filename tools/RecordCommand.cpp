// zorvi record: runs a script headless on the lock-screen host and records all of it, the one-liner
// for a bug report. Without --root the run gets a fresh device of its own (--system and --screen
// choose it), removed afterwards; with --root, that device as it is.

#include "hosts/common/CommandLine.h"
#include "hosts/common/VideoFormats.h"
#include "platform/foundation/OwnedTemporary.h"
#include "tools/Commands.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct RecordOptions {
    std::string root;
    std::string system;
    std::string screen;
    std::string script;
    std::string out;
};

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

constexpr std::string_view deviceFolderPrefix = "zorvi-record-";

// Device folders of runs that were killed outright (this one removes its own when it ends).
void removeAbandonedDevices(const std::filesystem::path& temporary) {
    DIR* dir = ::opendir(temporary.c_str());
    if (!dir)
        return;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name.size() == deviceFolderPrefix.size() + 6 && name.starts_with(deviceFolderPrefix) &&
            OwnedTemporary::abandoned(::dirfd(dir), entry->d_name, true)) {
            std::error_code ignored;
            std::filesystem::remove_all(temporary / name, ignored);
        }
    }
    ::closedir(dir);
}

// Holds the run's own device folder while this process or the host it starts lives: the descriptor
// is inherited on purpose, so a host that outlives a killed `zorvi record` keeps the folder held.
class HeldFolder {
public:
    explicit HeldFolder(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY)) {
        if (m_fd >= 0)
            OwnedTemporary::hold(m_fd);
    }
    ~HeldFolder() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

private:
    int m_fd;
};

int record(const RecordOptions& options, const CLI::App& command) {
    const std::string& script = options.script;
    const std::string& out = options.out;
    if (!videoFormatForPath(out))
        return CommandLine::usageError(command, "cannot record to " + out + ": the name must end in " +
                                                    videoFormatNames());
    bool ownDevice = options.root.empty();
    if (!ownDevice && (!options.system.empty() || !options.screen.empty()))
        return CommandLine::usageError(
            command, "--system and --screen choose a new device; they cannot go with --root");

    std::string device;
    std::optional<HeldFolder> held;
    if (!ownDevice) {
        device = options.root;
    } else {
        std::filesystem::path temporary = std::filesystem::temp_directory_path();
        removeAbandonedDevices(temporary);
        std::string folder = (temporary / (std::string(deviceFolderPrefix) + "XXXXXX")).string();
        if (!::mkdtemp(folder.data())) {
            std::fprintf(stderr, "zorvi record: cannot make a device folder: %s\n", std::strerror(errno));
            return 1;
        }
        held.emplace(folder);
        device = folder;
        std::vector<std::string> create{"device", "create", "--root", device, "--force"};
        for (auto [option, value] :
             {std::pair{"--system", &options.system}, std::pair{"--screen", &options.screen}})
            if (!value->empty()) {
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
    if (ownDevice) {
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

} // namespace

void addRecordCommand(Commands& commands) {
    auto options = std::make_shared<RecordOptions>();
    CLI::App* recordCommand =
        commands.add(commands.program(), "record",
                     "runs a lock-screen script headless (on a fresh device of its own without --root) and "
                     "records all of it",
                     [options](const CLI::App& command) { return record(*options, command); });
    addRootOption(*recordCommand, options->root);
    addSystemOption(*recordCommand, options->system, "the new device's system version (default: 14.4)");
    addScreenOption(*recordCommand, options->screen, "the new device's screen (default: 375x812@3)");
    recordCommand->add_option("SCRIPT", options->script, "the lock-screen script")->required();
    recordCommand->add_option("OUT", options->out, "the recording: .mp4, .gif, .webp or .apng")->required();
}
