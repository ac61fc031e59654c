// Recordings read back as a player reads them: the encoder on small bitmaps, then the real hosts and
// commands recording real runs.

#include "hosts/common/VideoFile.h"
#include "platform/graphics/Bitmap.h"
#include "tests/support/HostRun.h"
#include "tests/support/VideoReader.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class Folder {
public:
    Folder() {
        char pattern[] = "/tmp/zorvi-recording-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& path() const { return m_path; }
    // Every entry's name, hidden ones included.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(m_path))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    std::string m_path;
};

// A 33 x 17 picture (odd on purpose) on mid grey with a white bar at column `bar`.
Bitmap barPicture(int bar) {
    auto bitmap = Bitmap::create(33, 17);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 33; ++x) {
            uint8_t v = x >= bar && x < bar + 4 ? 255 : 96;
            bitmap->row(y)[x] = premultiplied_pixel(v, v, v, 255);
        }
    return std::move(*bitmap);
}

bool writeBars(const std::string& path, int frames, std::string& error) {
    auto file = VideoFile::create(path, 33, 17, 10, error);
    if (!file)
        return false;
    for (int i = 0; i < frames; ++i)
        if (!file->addFrame(barPicture(i * 4), error))
            return false;
    return file->finish(error);
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int run(const std::string& command) {
    int status = std::system((command + " > /dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One device for the host tests: 375 x 812 points at one pixel a point, so that frames are small.
const std::string& device() {
    static Folder folder;
    static std::string root = [] {
        std::string made = folder / "device";
        EXPECT_EQ(run(std::string(ZV_ZORVI) + " device create --screen 375x812@1 --root " + made), 0);
        return made;
    }();
    return root;
}

} // namespace

TEST(VideoFile, EveryFormatReadsBackWithItsFramesSizeAndPicture) {
    Folder folder;
    struct Case {
        const char* name;
        const char* container;
        int tolerance; // lossy formats move colours a little
        int width, height;
    };
    // H.264 wants even sizes: the last column and row are repeated.
    for (Case c : {Case{"bars.mp4", "mov,mp4,m4a,3gp,3g2,mj2", 40, 34, 18},
                   Case{"bars.gif", "gif", 40, 33, 17}, Case{"bars.webp", "webp", 40, 33, 17},
                   Case{"bars.apng", "apng", 0, 33, 17}, Case{"bars.png", "apng", 0, 33, 17}}) {
        SCOPED_TRACE(c.name);
        std::string error;
        ASSERT_TRUE(writeBars(folder / c.name, 6, error)) << error;
        DecodedVideo video = readVideo(folder / c.name);
        ASSERT_EQ(video.error, "");
        EXPECT_EQ(video.container, c.container);
        EXPECT_EQ(video.width, c.width);
        EXPECT_EQ(video.height, c.height);
        ASSERT_EQ(video.frames.size(), 6u);
        for (size_t i = 0; i < 6; ++i) {
            int bar = static_cast<int>(i) * 4 + 1;
            for (int channel : video.rgb(i, bar, 8))
                EXPECT_NEAR(channel, 255, c.tolerance) << "the bar of frame " << i;
            for (int channel : video.rgb(i, (bar + 16) % 33, 8))
                EXPECT_NEAR(channel, 96, c.tolerance) << "the background of frame " << i;
        }
    }
    EXPECT_EQ(folder.names(),
              (std::vector<std::string>{"bars.apng", "bars.gif", "bars.mp4", "bars.png", "bars.webp"}))
        << "no temporary file is left behind";
}

TEST(VideoFile, TheSameFramesMakeTheSameFile) {
    Folder folder;
    for (const char* name : {"a.mp4", "a.gif", "a.apng"}) {
        std::string error;
        ASSERT_TRUE(writeBars(folder / name, 5, error)) << error;
        std::string first = readBytes(folder / name);
        ASSERT_TRUE(writeBars(folder / name, 5, error)) << error;
        EXPECT_EQ(readBytes(folder / name), first) << name;
    }
}

TEST(VideoFile, BadTargetsAreClearErrorsAndLeaveNothing) {
    Folder folder;
    fs::create_directory(folder / "sub");
    struct Case {
        std::string path;
        const char* says;
    };
    for (const Case& c :
         {Case{folder / "clip.avi", "must end in .mp4"}, Case{folder / "clip", "must end in"},
          Case{folder / "missing/clip.mp4", "does not exist"}, Case{"/proc/self/clip.mp4", "cannot write in"},
          Case{folder / "sub", "must end in"}}) {
        std::string error;
        EXPECT_FALSE(VideoFile::create(c.path, 33, 17, 10, error)) << c.path;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.path << ": " << error;
    }
    // A fifo named like a recording is refused, not replaced.
    std::string error;
    ASSERT_EQ(::mkfifo((folder / "pipe.mp4").c_str(), 0600), 0);
    EXPECT_FALSE(VideoFile::create(folder / "pipe.mp4", 33, 17, 10, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(VideoFile::create(folder / "bad.mp4", 33, 17, 0, error)) << "no frames a second";
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"pipe.mp4", "sub"}));
}

TEST(VideoFile, ARecordingNotFinishedLeavesNoFileAndAnExistingOneIsKept) {
    Folder folder;
    std::ofstream(folder / "kept.mp4") << "an older recording";
    {
        std::string error;
        auto file = VideoFile::create(folder / "kept.mp4", 33, 17, 10, error);
        ASSERT_TRUE(file) << error;
        ASSERT_TRUE(file->addFrame(barPicture(0), error)) << error;
        EXPECT_FALSE(file->addFrame(*Bitmap::create(8, 8), error)) << "a frame of another size";
    }
    EXPECT_EQ(folder.names(), std::vector<std::string>{"kept.mp4"});
    EXPECT_EQ(readBytes(folder / "kept.mp4"), "an older recording");
}

// Every format keeps the same bookkeeping: nothing is written without a frame, and a completed
// recording takes no more frames and cannot be completed twice.
TEST(VideoFile, EveryFormatRefusesAnEmptyRecordingAndFramesAfterItsEnd) {
    Folder folder;
    for (const char* name : {"a.mp4", "a.gif", "a.apng", "a.webp"}) {
        std::string error;
        auto empty = VideoFile::create(folder / ("empty-" + std::string(name)), 33, 17, 10, error);
        ASSERT_TRUE(empty) << name << ": " << error;
        EXPECT_FALSE(empty->finish(error)) << name;
        EXPECT_NE(error.find("no frames"), std::string::npos) << name << ": " << error;
        auto file = VideoFile::create(folder / name, 33, 17, 10, error);
        ASSERT_TRUE(file) << name << ": " << error;
        ASSERT_TRUE(file->addFrame(barPicture(0), error)) << name << ": " << error;
        EXPECT_FALSE(file->addFrame(*Bitmap::create(8, 8), error)) << name << ": a frame of another size";
        ASSERT_TRUE(file->addFrame(barPicture(1), error)) << name << ": " << error;
        ASSERT_TRUE(file->finish(error)) << name << ": " << error;
        EXPECT_EQ(file->frames(), 2) << name;
        EXPECT_FALSE(file->addFrame(barPicture(2), error)) << name << ": a frame after the end";
        EXPECT_FALSE(file->finish(error)) << name << ": completed twice";
        EXPECT_EQ(file->frames(), 2) << name;
    }
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"a.apng", "a.gif", "a.mp4", "a.webp"}))
        << "only the recordings with frames are kept";
}

TEST(Recording, TheLockScreenRecordsWavesMovingAlongTheBottomOnly) {
    Folder folder;
    HostTrace trace =
        runHost(ZV_SPRINGBOARD, device(),
                "appear\nrecord start " + (folder / "waves.apng") + " 20\nwait 1000\nrecord stop\n",
                folder / "script.txt");
    ASSERT_EQ(trace.named("record").size(), 1u);
    EXPECT_EQ((*trace.named("record")[0])["frames"].number(), 20);
    DecodedVideo video = readVideo(folder / "waves.apng");
    ASSERT_EQ(video.error, "");
    EXPECT_EQ(video.width, 375);
    EXPECT_EQ(video.height, 812);
    ASSERT_EQ(video.frames.size(), 20u);
    EXPECT_GT(video.changedPixels(0, 10, 0, 757, 375, 812, 0), 100u) << "the waves moved";
    EXPECT_EQ(video.changedPixels(0, 10, 0, 0, 375, 600, 0), 0u) << "nothing else did";
    EXPECT_GT(video.changedPixels(10, 19, 0, 757, 375, 812, 0), 100u);
}

TEST(Recording, TheSameScriptRecordsTheSameFramesTwice) {
    Folder folder;
    std::string script =
        "appear\nrecord start " + (folder / "run.mp4") + "\ndrag 2 0 60 6\nwait 400\nrecord stop\n";
    std::vector<std::vector<std::vector<uint8_t>>> runs;
    for (int i = 0; i < 2; ++i) {
        runHost(ZV_SPRINGBOARD, device(), script, folder / "script.txt");
        DecodedVideo video = readVideo(folder / "run.mp4");
        ASSERT_EQ(video.error, "");
        EXPECT_EQ(video.codec, "h264");
        runs.push_back(video.frames);
    }
    ASSERT_EQ(runs[0].size(), 15u) << "0.1 s of dragging and 0.4 s of waiting at 30 a second";
    EXPECT_TRUE(runs[0] == runs[1]);
}

// How far the picture of button 1 (home at y 682, 60 points, one pixel a point) has moved down in a
// frame: the shift that best matches its first picture, above the wave strip.
int buttonShift(const DecodedVideo& video, size_t frame) {
    int best = -1;
    double bestDifference = 1e18;
    for (int dy = 0; dy <= 60; ++dy) {
        double difference = 0;
        int compared = 0;
        for (int y = 682; y < 742 && y + dy < 757; ++y)
            for (int x = 45; x < 90; ++x) {
                auto a = video.rgb(0, x, y), b = video.rgb(frame, x, y + dy);
                for (int c = 0; c < 3; ++c)
                    difference += std::abs(a[c] - b[c]);
                ++compared;
            }
        if (compared > 0 && difference / compared < bestDifference) {
            bestDifference = difference / compared;
            best = dy;
        }
    }
    return best;
}

TEST(Recording, ADragShowsTheButtonMovingDownUnderTheFinger) {
    Folder folder;
    runHost(ZV_SPRINGBOARD, device(),
            "appear\nrecord start " + (folder / "drag.apng") +
                " 10\nwait 200\npan 1 begin\npan 1 move 0 20\n"
                "wait 100\npan 1 move 0 20\nwait 200\nrecord stop\n",
            folder / "script.txt");
    DecodedVideo video = readVideo(folder / "drag.apng");
    ASSERT_EQ(video.error, "");
    ASSERT_EQ(video.frames.size(), 5u);
    EXPECT_EQ(buttonShift(video, 1), 0) << "not dragged yet";
    EXPECT_EQ(buttonShift(video, 2), 20) << "the frame at 0.2 s shows the move made at 0.2 s";
    EXPECT_EQ(buttonShift(video, 3), 40);
    EXPECT_EQ(buttonShift(video, 4), 40) << "held under the finger";
}

TEST(Recording, ScriptLinesThatCannotRecordAreErrorsBeforeAnythingIsWritten) {
    Folder folder;
    HostTrace trace = runHost(ZV_SPRINGBOARD, device(),
                              "record start " + (folder / "x.avi") + "\nrecord start " + (folder / "y.mp4") +
                                  " 0\nrecord stop\nrecord start " + (folder / "none/z.mp4") + "\nrecord\n",
                              folder / "script.txt");
    ASSERT_EQ(trace.named("error").size(), 5u);
    EXPECT_NE((*trace.named("error")[0])["message"].string().find("must end in"), std::string::npos);
    EXPECT_NE((*trace.named("error")[1])["message"].string().find("FPS from 1 to 120"), std::string::npos);
    EXPECT_NE((*trace.named("error")[2])["message"].string().find("not recording"), std::string::npos);
    EXPECT_NE((*trace.named("error")[3])["message"].string().find("does not exist"), std::string::npos);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"script.txt"});
}

TEST(Recording, ZorviRecordRunsAScriptOnAFreshDeviceAndRecordsAllOfIt) {
    Folder folder;
    std::ofstream(folder / "bug.txt") << "appear\nwait 500\n";
    std::string zorvi = ZV_ZORVI;
    EXPECT_EQ(run(zorvi + " record --screen 200x400@1 " + (folder / "bug.txt") + " " + (folder / "bug.gif")),
              0);
    DecodedVideo video = readVideo(folder / "bug.gif");
    ASSERT_EQ(video.error, "");
    EXPECT_EQ(video.width, 200);
    EXPECT_EQ(video.height, 400);
    EXPECT_EQ(video.frames.size(), 15u);
    EXPECT_EQ(run(zorvi + " record " + (folder / "bug.txt") + " " + (folder / "bug.avi")), 2);
    EXPECT_EQ(run(zorvi + " record --root " + device() + " --screen 200x400@1 " + (folder / "bug.txt") + " " +
                  (folder / "b.mp4")),
              2);
    EXPECT_EQ(run(zorvi + " record " + (folder / "bug.txt")), 2);
    EXPECT_EQ(run(zorvi + " waves --frames 4 --out " + (folder / "waves.webp")), 0);
    DecodedVideo waves = readVideo(folder / "waves.webp");
    EXPECT_EQ(waves.frames.size(), 4u);
    EXPECT_EQ(waves.height, 165) << "the 55-point strip at three pixels a point";
    EXPECT_EQ(run(zorvi + " waves --frames 4 --out " + (folder / "waves.mov")), 2);
}

TEST(Recording, ZorviRecordSweepsTheDeviceFoldersOfKilledRuns) {
    Folder folder;
    std::ofstream(folder / "bug.txt") << "appear\nwait 100\n";
    std::string temporary = folder / "tmp";
    fs::create_directories(temporary + "/zorvi-record-Dead12/var");
    fs::create_directories(temporary + "/zorvi-record-Live34");
    fs::create_directories(temporary + "/zorvi-record-notours");
    // A run still going holds its folder; this test holds one as such a run would.
    int live = ::open((temporary + "/zorvi-record-Live34").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(live, LOCK_EX | LOCK_NB), 0);
    for (const char* name : {"zorvi-record-Dead12", "zorvi-record-Live34", "zorvi-record-notours"}) {
        timespec old[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (temporary + "/" + name).c_str(), old, 0), 0);
    }
    EXPECT_EQ(run("TMPDIR=" + temporary + " " + ZV_ZORVI + " record --screen 200x400@1 " +
                  (folder / "bug.txt") + " " + (folder / "bug.gif")),
              0);
    ::close(live);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(temporary))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"zorvi-record-Live34", "zorvi-record-notours"}))
        << "the killed run's folder is swept, the run's own removed, the rest left alone";
}

TEST(Recording, CtrlCCompletesAPlayableRecording) {
    Folder folder;
    std::ofstream(folder / "long.txt") << "appear\nwait 600000\n";
    pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execl(ZV_ZORVI, ZV_ZORVI, "record", "--root", device().c_str(), (folder / "long.txt").c_str(),
                (folder / "long.mp4").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Once frames are being written (the temporary file has grown), Ctrl-C reaches the whole group.
    bool writing = false;
    for (int i = 0; i < 300 && !writing; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (const auto& entry : fs::directory_iterator(folder.path()))
            if (entry.path().filename().string().rfind(".long.mp4.", 0) == 0 &&
                fs::file_size(entry.path()) > 4096)
                writing = true;
    }
    ASSERT_TRUE(writing);
    ::kill(-child, SIGINT);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
    DecodedVideo video = readVideo(folder / "long.mp4");
    EXPECT_EQ(video.error, "");
    EXPECT_GT(video.frames.size(), 1u);
    EXPECT_LT(video.frames.size(), 30u * 600u) << "it stopped early";
}
