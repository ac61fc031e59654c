#pragma once

// A fresh device root per test, removed afterwards, and the device log lines the test caused.

#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class DeviceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "zv-foundation-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        DeviceRoot::setCurrent(root.string());
        DeviceLog::setObserver([this](std::string_view line) { log.emplace_back(line); });
    }
    void TearDown() override {
        DeviceLog::setObserver(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    std::filesystem::path host(const std::string& devicePath) const { return root / devicePath.substr(1); }

    void writeFile(const std::string& devicePath, const std::string& bytes) const {
        std::filesystem::create_directories(host(devicePath).parent_path());
        std::ofstream(host(devicePath), std::ios::binary) << bytes;
    }

    std::filesystem::path root;
    std::vector<std::string> log;
};
