#pragma once

// A folder of picture-test cases for one test, and the real zorvi command run on it.

#include "platform/graphics/ImageImport.h"
#include "tests/support/RunCommand.h"
#include "tools/picturetest/PictureFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

struct CommandRun {
    int status = -1;
    std::string output;
    bool says(const std::string& text) const { return output.find(text) != std::string::npos; }
};

class PictureSuite {
public:
    PictureSuite() {
        char pattern[] = "/tmp/zorvi-pictures-XXXXXX";
        m_path = ::mkdtemp(pattern);
        std::filesystem::create_directories(m_path + "/tmp");
    }
    ~PictureSuite() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    PictureSuite(const PictureSuite&) = delete;
    PictureSuite& operator=(const PictureSuite&) = delete;

    const std::string& path() const { return m_path; }

    std::string write(const std::string& name, const std::string& text) const {
        std::string file = m_path + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        std::ofstream(file) << text;
        return file;
    }

    // zorvi with the words after it, in the suite's folder; what it keeps in a temporary folder
    // (a failed run's pictures) stays inside the suite's.
    CommandRun zorvi(const std::string& words) const {
        CommandRun run;
        run.status = runCommand("env -C " + m_path + " TMPDIR=" + m_path + "/tmp " + ZV_ZORVI + " " + words,
                                run.output, 60);
        return run;
    }
    // zorvi test on the cases folder.
    CommandRun test(const std::string& options = "") const { return zorvi("test cases --jobs 2 " + options); }

    std::optional<Bitmap> picture(const std::string& name) const {
        PictureFile file = readPictureFile(m_path + "/" + name);
        std::string error;
        if (file.status != PictureFile::Status::Read)
            return std::nullopt;
        return decodePicture(file.bytes, error);
    }

private:
    std::string m_path;
};

// The lock screen as it comes up, and the Zorvi page of Settings.
constexpr const char* lockScript = "appear\ntick 30\nsnapshot lock.png\n";
constexpr const char* pageScript = "open Zorvi\ntick 10\nsnapshot zorvi.png\n";

// The whole device with the first wave's custom colour set in Settings, then the lock screen after
// backboardd restarts it.
inline std::string customColourScript(const std::string& line1) {
    return "wait-for springboard ready\n"
           "wait-for settings ready\n"
           "settings: open Zorvi\n"
           "settings: toggle enablecustom\n"
           "settings: open Colours\n"
           "settings: set line1 " +
           line1 +
           "\n"
           "settings: set line2 FF34C759\n"
           "settings: set line3 FF0A84FF\n"
           "settings: state\n"
           "wait-for settings state\n"
           "kill backboardd TERM\n"
           "wait-for springboard exit\n"
           "wait-for springboard ready\n"
           "springboard: appear\n"
           "springboard: tick 30\n"
           "springboard: snapshot colours.png\n"
           "springboard: state\n"
           "wait-for springboard state\n";
}
