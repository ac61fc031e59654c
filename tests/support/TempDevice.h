#pragma once

// A throw-away device root for one test: made under /tmp, set as the process's root, removed after.

#include "platform/foundation/DeviceRoot.h"

#include <cstdlib>
#include <filesystem>
#include <string>

class TempDevice {
public:
    TempDevice() {
        char pattern[] = "/tmp/zorvi-test-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        m_path = made ? made : "";
        std::filesystem::create_directories(m_path + "/var/mobile/Library/Preferences");
        std::filesystem::create_directories(m_path + "/System/Library/CoreServices");
        std::filesystem::create_directories(m_path + "/var/log");
        std::filesystem::create_directory_symlink("var/mobile", m_path + "/User");
        DeviceRoot::setCurrent(m_path);
    }
    ~TempDevice() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDevice(const TempDevice&) = delete;
    TempDevice& operator=(const TempDevice&) = delete;

    const std::string& path() const { return m_path; }
    std::string host(const std::string& devicePath) const { return m_path + devicePath; }

private:
    std::string m_path;
};
