#include "hosts/common/Downscale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// The mean of each channel over the k x k device pixels, rounded down as the window shows it (one
// unit either way is allowed: the reduction divides by a multiplication).
uint32_t plainMean(const Bitmap& device, int x, int y, int k) {
    uint32_t sums[3] = {};
    for (int v = 0; v < k; ++v)
        for (int u = 0; u < k; ++u) {
            uint32_t p = device.pixel(x * k + u, y * k + v);
            for (int c = 0; c < 3; ++c)
                sums[c] += (p >> (8 * c)) & 0xFF;
        }
    uint32_t out = 0xFF000000u;
    for (int c = 0; c < 3; ++c)
        out |= (sums[c] / static_cast<uint32_t>(k * k)) << (8 * c);
    return out;
}

} // namespace

// Every factor, over random pictures and windows whose edges fall anywhere (the four-at-a-time path
// and the pixels after it), matches the plain mean; pixels outside the asked area are not written.
TEST(Downscale, EveryWindowPixelIsTheMeanOfItsDevicePixels) {
    std::mt19937 random(7);
    for (int k = 1; k <= 4; ++k) {
        const int windowWidth = 23, windowHeight = 5;
        auto device = Bitmap::create(windowWidth * k, windowHeight * k);
        ASSERT_TRUE(device);
        for (int y = 0; y < device->height(); ++y)
            for (int x = 0; x < device->width(); ++x)
                device->setPixel(x, y, 0xFF000000u | (random() & 0xFFFFFFu));
        // Extremes too: all white, all black.
        for (int x = 0; x < 4 * k; ++x)
            for (int v = 0; v < k; ++v)
                device->setPixel(x, v, x < 2 * k ? 0xFFFFFFFFu : 0xFF000000u);
        const size_t pitch = (windowWidth + 3) * 4;
        for (int x0 : {0, 1, 5}) {
            for (int x1 : {windowWidth, windowWidth - 3, x0 + 4}) {
                std::vector<uint32_t> window(pitch / 4 * windowHeight, 0x12345678u);
                downscaleByWholeFactor(*device, reinterpret_cast<uint8_t*>(window.data()), pitch, x0, 1, x1,
                                       windowHeight, k);
                for (int y = 0; y < windowHeight; ++y)
                    for (int x = 0; x < static_cast<int>(pitch / 4); ++x) {
                        uint32_t got = window[static_cast<size_t>(y) * pitch / 4 + static_cast<size_t>(x)];
                        if (y < 1 || x < x0 || x >= x1) {
                            EXPECT_EQ(got, 0x12345678u) << "k " << k << " at " << x << "," << y;
                            continue;
                        }
                        uint32_t want = plainMean(*device, x, y, k);
                        for (int c = 0; c < 4; ++c)
                            EXPECT_LE(std::abs(int((got >> (8 * c)) & 0xFF) - int((want >> (8 * c)) & 0xFF)),
                                      1)
                                << "k " << k << " at " << x << "," << y << " channel " << c;
                    }
            }
        }
    }
}

// Only the window pixels over a stored pixel of some mask are written, each as the full reduction
// writes it; masks may overlap, reach past the picture, and store pixels whose coverage is 0.
TEST(Downscale, UnderCoverageWritesTheWindowPixelsOverTheMasksAlone) {
    std::mt19937 random(11);
    for (int k = 1; k <= 4; ++k) {
        const int windowWidth = 70, windowHeight = 6; // wider than a word of touched bits
        auto device = Bitmap::create(windowWidth * k, windowHeight * k);
        ASSERT_TRUE(device);
        for (int y = 0; y < device->height(); ++y)
            for (int x = 0; x < device->width(); ++x)
                device->setPixel(x, y, 0xFF000000u | (random() & 0xFFFFFFu));
        CoverageMask a, b;
        std::vector<uint8_t> zeros(300, 0);
        a.append(-2, 5, zeros.data(), 4);
        a.append(k, 0, zeros.data(), 1);
        a.append(k, 2 * k + 1, zeros.data(), 3);
        a.append(3 * k + 1, windowWidth * k - 2, zeros.data(), 9);
        b.append(k + 1, 64 * k - 1, zeros.data(), 2);
        b.append(5 * k, 10, zeros.data(), 30);
        b.append(windowHeight * k + 3, 0, zeros.data(), 50);
        const CoverageMask* masks[] = {&a, &b};
        auto over = [&](int x, int y) {
            for (const CoverageMask* mask : masks)
                for (int v = 0; v < k; ++v)
                    for (int u = 0; u < k; ++u)
                        for (const CoverageSpan& span : mask->spans())
                            if (span.y == y * k + v && x * k + u >= span.x &&
                                x * k + u < span.x + span.length)
                                return true;
            return false;
        };
        const size_t pitch = (windowWidth + 2) * 4;
        std::vector<uint32_t> full(pitch / 4 * windowHeight, 0), some(pitch / 4 * windowHeight, 0x12345678u);
        downscaleByWholeFactor(*device, reinterpret_cast<uint8_t*>(full.data()), pitch, 0, 0, windowWidth,
                               windowHeight, k);
        downscaleUnderCoverage(*device, reinterpret_cast<uint8_t*>(some.data()), pitch, masks, k);
        for (int y = 0; y < windowHeight; ++y)
            for (int x = 0; x < static_cast<int>(pitch / 4); ++x) {
                size_t at = static_cast<size_t>(y) * pitch / 4 + static_cast<size_t>(x);
                bool written = x < windowWidth && over(x, y);
                EXPECT_EQ(some[at], written ? full[at] : 0x12345678u) << "k " << k << " at " << x << "," << y;
            }
    }
}
