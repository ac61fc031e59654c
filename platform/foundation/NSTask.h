#pragma once

// Starting a program of the device: the launch path is a device path, mapped into the device root,
// except for the system's own programs ("/usr/bin/killall"), which come from the system (see
// SystemPrograms). The program inherits the device root, so it works on the same device.
// launch returns as soon as the program runs (or could not be started) and never waits for it to
// end. The program is not a child of this process (it is started through a short-lived
// intermediate that is reaped at once), so it can never be left a zombie here.
// Through the runtime: setLaunchPath:, setArguments:, launch.

#include "platform/foundation/NSArray.h"
#include "runtime/NSObject.h"

#include <functional>
#include <string>
#include <vector>

class NSTask : public NSObject {
public:
    static Class objcClass();
    static Ref<NSTask> task();

    const std::string& launchPath() const { return m_launchPath; }
    void setLaunchPath(std::string path) { m_launchPath = std::move(path); }
    const std::vector<std::string>& arguments() const { return m_arguments; }
    void setArguments(std::vector<std::string> arguments) { m_arguments = std::move(arguments); }
    // Answers whether the program was started; a failure writes one line to the device log.
    bool launch();

    // Told of every launch before it happens (a host writes it to its trace).
    using LaunchObserver =
        std::function<void(const std::string& path, const std::vector<std::string>& arguments)>;
    static void setLaunchObserver(LaunchObserver observer);

private:
    std::string m_launchPath;
    std::vector<std::string> m_arguments;
};
