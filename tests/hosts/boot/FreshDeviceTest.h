#pragma once

// A test on a device of its own: a fresh one made with `zorvi device create` in a folder of its own
// under /tmp ("/tmp/zorvi-NAME-XXXXXX", the device in its "device" folder), removed after the test.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <utility>

class FreshDeviceTest : public ::testing::Test {
protected:
    explicit FreshDeviceTest(std::string name) : m_name(std::move(name)) {}

    void SetUp() override {
        std::string pattern = "/tmp/zorvi-" + m_name + "-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        ASSERT_NE(made, nullptr) << "no folder for the device";
        m_folder = made;
        root = m_folder + "/device";
        ASSERT_EQ(
            std::system((std::string(ZV_ZORVI) + " device create --root " + root + " > /dev/null").c_str()),
            0);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

    std::string root;
    std::string m_folder;

private:
    std::string m_name;
};
