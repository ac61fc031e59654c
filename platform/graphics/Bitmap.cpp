#include "platform/graphics/Bitmap.h"
#include "platform/foundation/PageMemory.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

Bitmap::Pixels Bitmap::allocate(size_t size) {
    return Pixels(static_cast<uint8_t*>(PageMemory::allocate(size)), Release{size});
}

void Bitmap::Release::operator()(uint8_t* pixels) const {
    if (borrowed)
        return;
    if (mapping)
        ::munmap(mapping, mappedBytes);
    else
        PageMemory::release(pixels, size);
    if (descriptor >= 0)
        ::close(descriptor);
}

std::optional<Bitmap> Bitmap::adoptMapping(void* mapping, size_t mappedBytes, size_t pixelOffset, int width,
                                           int height) {
    if (!mapping || width <= 0 || height <= 0 || width > std::numeric_limits<int>::max() / 4)
        return std::nullopt;
    size_t bytes = static_cast<size_t>(width) * 4 * static_cast<size_t>(height);
    if (bytes / 4 / static_cast<size_t>(width) != static_cast<size_t>(height) || pixelOffset > mappedBytes ||
        bytes > mappedBytes - pixelOffset)
        return std::nullopt;
    Bitmap bitmap(width, height);
    bitmap.m_pixels =
        Pixels(static_cast<uint8_t*>(mapping) + pixelOffset, Release{bytes, mapping, mappedBytes});
    bitmap.m_size = bytes;
    return bitmap;
}

std::optional<Bitmap> Bitmap::borrow(uint8_t* pixels, int width, int height) {
    if (!pixels || width <= 0 || height <= 0 || width > std::numeric_limits<int>::max() / 4 ||
        static_cast<size_t>(height) > std::numeric_limits<size_t>::max() / 4 / static_cast<size_t>(width))
        return std::nullopt;
    Bitmap bitmap(width, height);
    bitmap.m_size = static_cast<size_t>(width) * 4 * static_cast<size_t>(height);
    Release release{bitmap.m_size};
    release.borrowed = true;
    bitmap.m_pixels = Pixels(pixels, release);
    return bitmap;
}

Bitmap::Bitmap(const Bitmap& other)
    : m_width(other.m_width), m_height(other.m_height), m_stride(other.m_stride) {
    m_pixels = allocate(other.m_size);
    if (!m_pixels && other.m_size)
        throw std::bad_alloc();
    m_size = other.m_size;
    if (m_size)
        std::memcpy(m_pixels.get(), other.m_pixels.get(), m_size);
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
    if (this != &other) {
        Bitmap copy(other);
        *this = std::move(copy);
    }
    return *this;
}

std::optional<Bitmap> Bitmap::create(int width, int height, size_t maxBytes) {
    if (width <= 0 || height <= 0 || width > std::numeric_limits<int>::max() / 4)
        return std::nullopt;
    size_t bytes = static_cast<size_t>(width) * 4 * static_cast<size_t>(height);
    if (bytes / 4 / static_cast<size_t>(width) != static_cast<size_t>(height) || bytes > maxBytes)
        return std::nullopt;
    Bitmap bitmap(width, height);
    bitmap.m_pixels = allocate(bytes);
    if (!bitmap.m_pixels)
        return std::nullopt;
    bitmap.m_size = bytes;
    return bitmap;
}

uint32_t premultiplied_pixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    auto scale = [alpha](uint8_t c) { return static_cast<uint32_t>((c * alpha + 127) / 255); };
    return (uint32_t{alpha} << 24) | (scale(red) << 16) | (scale(green) << 8) | scale(blue);
}
