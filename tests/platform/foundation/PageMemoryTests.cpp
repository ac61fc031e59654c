#include "platform/foundation/PageMemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

namespace {

// The size of the process's mapped memory, in kB.
long mappedKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0)
            return std::stol(line.substr(7));
    return -1;
}

} // namespace

// Large buffers come cleared and wholly writable, whatever their size against the system's page
// sizes, and giving them back returns every byte that was mapped for them (nothing is left behind
// by the rounding to large pages).
TEST(PageMemory, LargeBuffersAreClearedWritableAndGivenBackWhole) {
    const size_t sizes[] = {1u << 20, (1u << 20) + 1, (2u << 20) - 1, 2u << 20, (3u << 20) + 4097, 11069212};
    long before = mappedKilobytes();
    ASSERT_GT(before, 0);
    for (int round = 0; round < 60; ++round) {
        for (size_t size : sizes) {
            auto* bytes = static_cast<unsigned char*>(PageMemory::allocate(size));
            ASSERT_NE(bytes, nullptr) << size;
            EXPECT_EQ(bytes[size - 1], 0);
            for (size_t at = 0; at < size; at += 4096) {
                ASSERT_EQ(bytes[at], 0) << "size " << size << " at " << at;
                bytes[at] = 0xAB;
            }
            bytes[size - 1] = 0xCD;
            PageMemory::release(bytes, size);
        }
    }
    // 360 buffers: a leak of even one small page each would show.
    EXPECT_LE(mappedKilobytes(), before + 1024);
    // Small sizes come from the ordinary allocator, cleared too.
    auto* small = static_cast<unsigned char*>(PageMemory::allocate(100));
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(std::memcmp(small, std::string(100, '\0').data(), 100), 0);
    PageMemory::release(small, 100);
}
