#pragma once

// A fresh device for each test of the Settings application (the tests write settings), and the
// ways to run its processes and read what they stored.

#include "platform/graphics/ImageImport.h"
#include "tests/support/HostRun.h"

#include <gtest/gtest.h>

#include <algorithm>
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

inline std::optional<Bitmap> decodePicture(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return ImageImport::decode(bytes);
}

// Pixels between two rows (and, optionally, two columns) that are near the colour (0xRRGGBB, opaque).
inline int countColoured(const Bitmap& picture, int top, int bottom, uint32_t colour, int left = 0,
                         int right = 1 << 30) {
    int count = 0;
    for (int y = std::max(0, top); y < std::min(bottom, picture.height()); ++y)
        for (int x = std::max(0, left); x < std::min(right, picture.width()); ++x) {
            uint32_t p = picture.pixel(x, y);
            bool near = true;
            for (int shift : {0, 8, 16})
                near = near && std::abs(static_cast<int>((p >> shift) & 0xff) -
                                        static_cast<int>((colour >> shift) & 0xff)) < 40;
            count += near;
        }
    return count;
}
