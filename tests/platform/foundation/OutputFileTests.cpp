// A file a person names is written under a temporary name; a writer killed outright must not leave
// that temporary behind for ever, and nothing else in the person's folder may be taken for one.

#include "platform/foundation/OutputFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class OutputFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zorvi-output-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // The temporary a writer of `name` killed mid-write leaves.
    fs::path killedWriter(const std::string& name) {
        pid_t child = ::fork();
        if (child == 0) {
            std::string error;
            auto output = OutputFile::create((folder / name).string(), error);
            if (output && ::write(output->descriptor(), "part", 4) == 4)
                ::raise(SIGKILL);
            ::_exit(1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "the writer was killed";
        return temporaryOf(name);
    }

    fs::path temporaryOf(const std::string& name) const {
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().rfind("." + name + ".", 0) == 0)
                return entry.path();
        return {};
    }

    static void age(const fs::path& path) {
        timespec times[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
    }

    fs::path folder;
};

TEST_F(OutputFiles, TemporariesOfKilledWritersAreSweptAndNothingElse) {
    fs::path killed = killedWriter("clip.mp4");
    ASSERT_FALSE(killed.empty());
    age(killed);
    fs::path justKilled = killedWriter("fresh.mp4");
    ASSERT_FALSE(justKilled.empty());

    std::string error;
    auto live = OutputFile::create((folder / "live.gif").string(), error);
    ASSERT_TRUE(live) << error;
    age(live->temporaryPath());
    fs::path foreign = folder / ".notes.txt.AbC123"; // another program's temporary
    std::ofstream(foreign) << "theirs";
    age(foreign);

    ASSERT_TRUE(OutputFile::write((folder / "shot.png").string(), std::vector<uint8_t>{1, 2, 3}, error))
        << error;
    EXPECT_FALSE(fs::exists(killed)) << "a killed writer's temporary is swept";
    EXPECT_TRUE(fs::exists(justKilled)) << "a temporary younger than the grace period stays";
    EXPECT_TRUE(fs::exists(live->temporaryPath())) << "a live writer's temporary stays, however old";
    EXPECT_TRUE(fs::exists(foreign)) << "another program's temporary is not ours to remove";
    EXPECT_TRUE(live->commit(error)) << error;
    EXPECT_TRUE(fs::is_regular_file(folder / "live.gif"));
}

} // namespace
