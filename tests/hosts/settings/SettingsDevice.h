#pragma once

// A fresh device for each test of the Settings application (the tests write settings), and the
// ways to run its processes and read what they stored.

#include "tests/support/HostRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

// A fresh device per test: the tests write settings.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zorvi-settings-XXXXXX";
        m_folder = ::mkdtemp(pattern);
        root = m_folder + "/device";
        std::string command = std::string(ZV_ZORVI) + " device create --root " + root + " > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

    HostTrace settings(const std::string& script) {
        return runHost(ZV_SETTINGS, root, script, m_folder + "/script.txt");
    }
    HostTrace springboard(const std::string& script) {
        return runHost(ZV_SPRINGBOARD, root, script, m_folder + "/script.txt");
    }
    std::string defaults(const std::string& arguments) {
        std::string command = std::string(ZV_ZORVI) + " defaults --root " + root + " " + arguments + " 2>&1";
        std::string text;
        if (FILE* out = ::popen(command.c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, out))
                text += buffer;
            ::pclose(out);
        }
        return text;
    }
    void write(const std::string& devicePath, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(root + devicePath).parent_path());
        std::ofstream(root + devicePath) << text;
    }
    std::string scratch(const std::string& name) const { return m_folder + "/" + name; }

    std::string root;

private:
    std::string m_folder;
};

inline const JsonValue& topPage(const JsonValue& state) {
    const JsonValue& pages = state["pages"];
    return pages[pages.size() - 1];
}
