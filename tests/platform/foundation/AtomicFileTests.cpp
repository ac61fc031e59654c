#include "platform/foundation/AtomicFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

TEST(AtomicFile, WritesABareFileNameIntoTheCurrentFolderAndLeavesNoTemporaryFile) {
    char pattern[] = "/tmp/zorvi-atomic-XXXXXX";
    std::string folder = ::mkdtemp(pattern);
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    std::string error;
    const uint8_t bytes[] = {'z', 'v'};
    EXPECT_TRUE(AtomicFile::write("plain.bin", bytes, error)) << error;
    std::vector<uint8_t> back;
    EXPECT_EQ(AtomicFile::read("plain.bin", 16, back, error), AtomicFile::ReadStatus::Read);
    EXPECT_EQ(back, std::vector<uint8_t>(bytes, bytes + 2));
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u) << "no temporary file stays behind";
    EXPECT_EQ(AtomicFile::read("missing.bin", 16, back, error), AtomicFile::ReadStatus::Missing);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
}

TEST(AtomicFile, AWriterRemovesTemporaryFilesOfKilledWritersOnlyOnceOld) {
    char pattern[] = "/tmp/zorvi-atomic-XXXXXX";
    std::filesystem::path folder = ::mkdtemp(pattern);
    auto make = [&](const std::string& name, int ageSeconds) {
        std::ofstream(folder / name) << "left behind";
        auto when = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(ageSeconds);
        std::filesystem::last_write_time(folder / name, when);
    };
    make(".com.vantrel.zorvi.plist.a1B2c3", 300); // a killed writer's, long ago
    make(".com.vantrel.zorvi.plist.Z9y8X7", 5);   // perhaps a writer at work right now
    make(".hidden-but-mine", 300);                // not a temporary file's name
    make("notes.a1B2c3", 300);
    std::string error;
    const uint8_t bytes[] = {'z'};
    ASSERT_TRUE(AtomicFile::write((folder / "com.vantrel.zorvi.plist").string(), bytes, error)) << error;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".com.vantrel.zorvi.plist.Z9y8X7", ".hidden-but-mine",
                                               "com.vantrel.zorvi.plist", "notes.a1B2c3"}));
    std::filesystem::remove_all(folder);
}

// A file may hold more than its size said when it was opened (it grew meanwhile, or it is one of
// the system's generated files, whose size reads as 0): all of it is read, within the bound.
TEST(AtomicFile, ReadsPastTheSizeAFileHadWhenOpenedWithinTheBound) {
    std::string expected;
    {
        std::ifstream status("/proc/self/status");
        ASSERT_TRUE(status.good());
        std::getline(status, expected); // "Name:\t..." stays the same while the process runs
    }
    for (bool pages : {false, true}) {
        std::string error;
        std::vector<uint8_t> plain;
        PageBytes paged;
        auto readStatus = [&](size_t bound) {
            int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC); // the reader closes it
            return pages ? AtomicFile::readOpen(fd, bound, paged, error)
                         : AtomicFile::readOpen(fd, bound, plain, error);
        };
        auto status = readStatus(1 << 20);
        ASSERT_EQ(status, AtomicFile::ReadStatus::Read) << error;
        std::string text =
            pages ? std::string(paged.begin(), paged.end()) : std::string(plain.begin(), plain.end());
        EXPECT_EQ(text.substr(0, expected.size()), expected);
        EXPECT_NE(text.find("\nPid:"), std::string::npos);
        EXPECT_EQ(text.find('\0'), std::string::npos);

        error.clear();
        status = readStatus(16);
        EXPECT_EQ(status, AtomicFile::ReadStatus::Failed);
        EXPECT_NE(error.find("larger than 16 bytes"), std::string::npos) << error;
        EXPECT_TRUE(pages ? paged.empty() : plain.empty());
    }
}
