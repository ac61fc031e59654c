#include "platform/foundation/NSTask.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/SystemPrograms.h"
#include "runtime/MessageSend.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

NSTask::LaunchObserver& launchObserver() {
    static NSTask::LaunchObserver observer;
    return observer;
}

NSTask* asTask(id self) {
    return static_cast<NSTask*>(self);
}

// Writes all of the buffer, ignoring failures (the reader then sees less and treats it as success).
void writeAll(int fd, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t wrote = ::write(fd, bytes, size);
        if (wrote <= 0)
            return;
        bytes += wrote;
        size -= static_cast<size_t>(wrote);
    }
}

} // namespace

Class NSTask::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("NSTask", NSObject::objcClass(), &instance_factory<NSTask>);
        class_addMethod(
            c, "setLaunchPath:", +[](id self, SEL, id path) {
                const std::string* text = string_value(path);
                asTask(self)->setLaunchPath(text ? *text : std::string());
            });
        class_addMethod(
            c, "setArguments:", +[](id self, SEL, id arguments) {
                std::vector<std::string> words;
                if (auto* list = objc_cast<NSArray>(arguments))
                    for (const auto& item : list->objects())
                        if (const std::string* text = string_value(item.get()))
                            words.push_back(*text);
                asTask(self)->setArguments(std::move(words));
            });
        class_addMethod(
            c, "launch", +[](id self, SEL) { asTask(self)->launch(); });
        return c;
    }();
    return cls;
}

Ref<NSTask> NSTask::task() {
    return make_object<NSTask>();
}

void NSTask::setLaunchObserver(LaunchObserver observer) {
    launchObserver() = std::move(observer);
}

bool NSTask::launch() {
    if (launchObserver())
        launchObserver()(m_launchPath, m_arguments);
    if (m_launchPath.empty() || !DeviceRoot::hostPath(m_launchPath)) {
        NSLog("NSTask: not a device program: " + m_launchPath);
        return false;
    }
    // A system program comes from the system, never from the device folder. The device's own
    // programs are opened beneath its root and run through their descriptor, so no symlink in the
    // device can make them run something outside.
    std::optional<std::string> system = SystemPrograms::locate(m_launchPath);
    int programFd =
        system ? ::open(system->c_str(), O_PATH | O_CLOEXEC) : DeviceFile::open(m_launchPath, O_PATH);
    if (programFd < 0) {
        NSLog("NSTask: cannot start " + m_launchPath + ": " +
              (errno == EXDEV || errno == ELOOP ? std::string("it leads outside the device")
                                                : std::strerror(errno)));
        return false;
    }
    // Everything the children need is made before forking.
    std::vector<std::string> words{m_launchPath};
    words.insert(words.end(), m_arguments.begin(), m_arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    // The program reports a failed exec through a pipe that a successful exec closes.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        NSLog(std::string("NSTask: cannot start ") + m_launchPath + ": " + std::strerror(errno));
        ::close(programFd);
        return false;
    }
    pid_t intermediate = ::fork();
    if (intermediate == 0) {
        ::close(report[0]);
        pid_t program_pid = ::fork();
        if (program_pid == 0) {
            // Kept open across the exec: a script's interpreter reads the program through it.
            ::fcntl(programFd, F_SETFD, 0);
            ::execveat(programFd, "", argv.data(), environ, AT_EMPTY_PATH);
            int failure = errno;
            writeAll(report[1], &failure, sizeof failure);
            ::_exit(127);
        }
        if (program_pid < 0) {
            int failure = errno;
            writeAll(report[1], &failure, sizeof failure);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    ::close(programFd);
    int failure = 0;
    if (intermediate < 0) {
        failure = errno;
    } else {
        int status = 0;
        while (::waitpid(intermediate, &status, 0) < 0 && errno == EINTR) {
        }
        ssize_t got;
        while ((got = ::read(report[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
        }
        if (got != static_cast<ssize_t>(sizeof failure))
            failure = 0;
    }
    ::close(report[0]);
    if (failure != 0) {
        NSLog("NSTask: cannot start " + m_launchPath + ": " + std::strerror(failure));
        return false;
    }
    return true;
}
