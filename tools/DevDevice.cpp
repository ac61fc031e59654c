#include "tools/DevDevice.h"
#include "platform/foundation/DeviceRoot.h"
#include "tools/DevRestart.h"
#include "tools/DeviceControl.h"
#include "tools/DeviceManage.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr auto bootLimit = std::chrono::seconds(60);
constexpr auto shutdownLimit = std::chrono::seconds(30);

// Waits up to `limit` for the process; true once it has been reaped.
bool reaped(pid_t pid, std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        pid_t got = ::waitpid(pid, &status, WNOHANG);
        if (got == pid || (got < 0 && errno == ECHILD))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

DevDevice::~DevDevice() {
    shutdown();
}

bool DevDevice::bootIfNeeded(bool headless, std::string& error) {
    std::string root = DeviceRoot::current();
    if (deviceIsBooted(root))
        return true;
    std::error_code failure;
    auto self = std::filesystem::read_symlink("/proc/self/exe", failure);
    std::vector<std::string> words{(self.parent_path() / "zv-boot").string(), "--root", root};
    if (headless)
        words.push_back("--headless");
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    // Its trace is for scripts; what a person needs from it is in `zorvi log`.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    int spawned = posix_spawn(&m_boot, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        m_boot = -1;
        error = "cannot run " + words[0] + ": " + std::strerror(spawned);
        return false;
    }
    m_pidfd = static_cast<int>(::syscall(SYS_pidfd_open, m_boot, 0));
    bool ended = false;
    auto supervisorEnded = [this, &ended] {
        int status = 0;
        ended = ended || ::waitpid(m_boot, &status, WNOHANG) == m_boot;
        return ended;
    };
    for (const char* process : {"springboard", "settings"}) {
        if (!waitForFrame(process, bootLimit, error, supervisorEnded)) {
            error = ended ? "the device's supervisor ended as it booted (zorvi log says why)"
                          : "the device did not come up: " + error;
            if (ended)
                m_boot = -1;
            shutdown();
            return false;
        }
    }
    return true;
}

void DevDevice::shutdown() {
    if (m_boot <= 0) {
        if (m_pidfd >= 0)
            ::close(m_pidfd);
        m_pidfd = -1;
        return;
    }
    ControlReply reply;
    std::string error;
    // Asked first, so that each process finishes what it was sent; ended if it does not go.
    if (!sendControlLine("boot", "shutdown", reply, error) || !reaped(m_boot, shutdownLimit)) {
        ::kill(m_boot, SIGTERM);
        if (!reaped(m_boot, std::chrono::seconds(5))) {
            ::kill(m_boot, SIGKILL);
            reaped(m_boot, std::chrono::seconds(5));
        }
    }
    if (m_pidfd >= 0)
        ::close(m_pidfd);
    m_pidfd = -1;
    m_boot = -1;
}
