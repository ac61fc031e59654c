#include "platform/foundation/AtomicFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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
