// Decoded pixels shared between processes through sealed memory, and notes in the device that point
// at memory they must not be believed about.

#include "platform/graphics/SharedPixels.h"
#include "tests/platform/foundation/DeviceFixture.h"
#include "tests/support/SamePixels.h"

#include <fcntl.h>
#include <fstream>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

class SharedPixelsTest : public DeviceFixture {
protected:
    Bitmap image() const {
        Bitmap bitmap = *Bitmap::create(37, 5);
        for (int y = 0; y < bitmap.height(); ++y)
            for (int x = 0; x < bitmap.width(); ++x)
                bitmap.setPixel(x, y, 0xFF000000u | static_cast<uint32_t>(x * 5 + y * 1000));
        return bitmap;
    }
    FileIdentity file{11, 22, 333, 444, 555};

    // Whether the pixels lie in memory that is shared (a memfd's pages), as /proc/self/maps says.
    static bool inSharedMemory(const Bitmap& bitmap) {
        std::ifstream maps("/proc/self/maps");
        auto address = reinterpret_cast<uintptr_t>(bitmap.data());
        for (std::string line; std::getline(maps, line);) {
            unsigned long start = 0, end = 0;
            if (std::sscanf(line.c_str(), "%lx-%lx", &start, &end) == 2 && address >= start && address < end)
                return line.find("memfd:zorvi-pixels") != std::string::npos;
        }
        return false;
    }
    void writeNote(long pid, int fd) {
        writeFile("/var/run/images/cpbitmap-11-22", std::to_string(pid) + " " + std::to_string(fd) + "\n");
    }
};
} // namespace

TEST_F(SharedPixelsTest, ASharedImageIsFoundAsTheSameSealedPagesAndDrawingOnACopyLeavesThemAlone) {
    Bitmap original = image();
    auto shared = SharedPixels::share("cpbitmap", file, original);
    ASSERT_TRUE(shared.has_value());
    EXPECT_TRUE(samePixels(*shared, original));
    EXPECT_TRUE(inSharedMemory(*shared));

    auto found = SharedPixels::find("cpbitmap", file);
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(samePixels(*found, original));
    EXPECT_TRUE(inSharedMemory(*found));
    found->setPixel(3, 2, 0xFF123456);
    auto again = SharedPixels::find("cpbitmap", file);
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(samePixels(*again, original));

    // Another decoder, or the file changed since: nothing shared.
    EXPECT_FALSE(SharedPixels::find("png", file).has_value());
    FileIdentity changed = file;
    changed.modified += 1;
    EXPECT_FALSE(SharedPixels::find("cpbitmap", changed).has_value());
}

TEST_F(SharedPixelsTest, WhenTheSharingBitmapGoesSoDoesTheMemory) {
    {
        auto shared = SharedPixels::share("cpbitmap", file, image());
        ASSERT_TRUE(shared.has_value());
    }
    EXPECT_FALSE(SharedPixels::find("cpbitmap", file).has_value());
}

TEST_F(SharedPixelsTest, NotesThatNameAnythingElseAreNotBelieved) {
    for (const char* text : {"", "garbage", "-1 3", "1 -3", "99999999 3"}) {
        writeFile("/var/run/images/cpbitmap-11-22", text);
        EXPECT_FALSE(SharedPixels::find("cpbitmap", file).has_value()) << text;
    }

    Bitmap original = image();
    auto shared = SharedPixels::share("cpbitmap", file, original);
    ASSERT_TRUE(shared.has_value());
    long pid = 0;
    int sealed = -1;
    std::ifstream(host("/var/run/images/cpbitmap-11-22")) >> pid >> sealed;
    ASSERT_EQ(pid, ::getpid());
    std::vector<uint8_t> bytes(4096 + original.sizeInBytes());
    ASSERT_EQ(::pread(sealed, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));

    // The very same bytes in a regular file, and in memory that is not sealed: either could change
    // or shrink under a process that mapped it.
    int plain = ::open((root / "pixels").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    int unsealed = ::memfd_create("zorvi-pixels", MFD_CLOEXEC);
    ASSERT_GE(plain, 0);
    ASSERT_GE(unsealed, 0);
    for (int fd : {plain, unsealed}) {
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        writeNote(::getpid(), fd);
        EXPECT_FALSE(SharedPixels::find("cpbitmap", file).has_value()) << fd;
    }
    ::close(plain);
    ::close(unsealed);

    writeNote(::getpid(), sealed);
    auto found = SharedPixels::find("cpbitmap", file);
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(samePixels(*found, original));
}
