#pragma once

// Running the lock-screen process for real on devices made by `zorvi device create`: the devices a
// test run shares, and a script run that answers the trace.

#include "tests/support/HostRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

using Trace = HostTrace;

// Devices are made once per run and shared by the tests that need the same kind.
class Devices {
public:
    ~Devices() {
        std::error_code ignored;
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder, ignored);
    }

    const std::string& get(const std::string& system, const std::string& screen) {
        std::string key = system + " " + screen;
        auto it = m_roots.find(key);
        if (it != m_roots.end())
            return it->second;
        std::string root = folder() + "/device" + std::to_string(m_roots.size());
        create(root, system, screen);
        return m_roots.emplace(key, root).first->second;
    }

    // A device that only the calling test uses, for a test that changes its settings or files.
    std::string own(const std::string& name, const std::string& system, const std::string& screen) {
        std::string root = folder() + "/" + name;
        create(root, system, screen);
        return root;
    }

    std::string scratch(const std::string& name) {
        get("14.4", "375x812@2");
        return m_folder + "/" + name;
    }

private:
    const std::string& folder() {
        if (m_folder.empty()) {
            char pattern[] = "/tmp/zorvi-springboard-XXXXXX";
            m_folder = ::mkdtemp(pattern);
        }
        return m_folder;
    }

    static void create(const std::string& root, const std::string& system, const std::string& screen) {
        std::string command = std::string(ZV_ZORVI) + " device create --root " + root + " --system " +
                              system + " --screen " + screen + " > /dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }

    std::string m_folder;
    std::map<std::string, std::string> m_roots;
};

inline Devices& devices() {
    static Devices instance;
    return instance;
}

inline const std::string& standardDevice() {
    return devices().get("14.4", "375x812@2");
}

inline Trace run(const std::string& root, const std::string& script, const std::string& options = "") {
    return runHost(ZV_SPRINGBOARD, root, script,
                   devices().scratch("script-" + std::to_string(::getpid()) + ".txt"), options);
}

inline std::vector<double> frame(double x, double y, double w, double h) {
    return {x, y, w, h};
}
