#pragma once

// A pixel buffer shared by the image codecs, the rasterizer and the screen: 32-bit pixels with
// premultiplied alpha, each a native-endian uint32_t 0xAARRGGBB (on this little-endian machine
// the bytes in memory are B, G, R, A), which is cairo's ARGB32 layout. Rows are `stride` bytes.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class Bitmap {
public:
    // A cleared (transparent) bitmap, or nullopt when the size is not positive or the buffer would
    // exceed maxBytes.
    static std::optional<Bitmap> create(int width, int height, size_t maxBytes = 512u << 20);

    int width() const { return m_width; }
    int height() const { return m_height; }
    int stride() const { return m_stride; }
    uint8_t* data() { return m_pixels.get(); }
    const uint8_t* data() const { return m_pixels.get(); }
    size_t sizeInBytes() const { return m_size; }

    uint32_t* row(int y) {
        return reinterpret_cast<uint32_t*>(m_pixels.get() + static_cast<size_t>(y) * m_stride);
    }
    const uint32_t* row(int y) const {
        return reinterpret_cast<const uint32_t*>(m_pixels.get() + static_cast<size_t>(y) * m_stride);
    }
    uint32_t pixel(int x, int y) const { return row(y)[x]; }
    void setPixel(int x, int y, uint32_t argb) { row(y)[x] = argb; }

    // A bitmap over pixels mapped from elsewhere (memory another process shares, mapped privately:
    // drawing into it copies the pages it touches). The mapping covers mappedBytes from mapping and
    // is unmapped with the bitmap; the pixels, width * 4 bytes a row, start at pixelOffset. nullopt
    // (and the mapping left alone) when they do not fit in it.
    static std::optional<Bitmap> adoptMapping(void* mapping, size_t mappedBytes, size_t pixelOffset,
                                              int width, int height);

    // A bitmap over pixels that belong to someone else (a window's memory), width * 4 bytes a row.
    // They must outlive the bitmap, and are left as they are when it goes. nullopt for no pixels or a
    // size that is not positive.
    static std::optional<Bitmap> borrow(uint8_t* pixels, int width, int height);

    // Keeps a descriptor open for as long as the pixels live (the memory a mapping came from, which
    // others reach through it); closed with them.
    void keepDescriptor(int fd) { m_pixels.get_deleter().descriptor = fd; }

    // Copies hold pixels of their own.
    Bitmap(const Bitmap& other);
    Bitmap& operator=(const Bitmap& other);
    Bitmap(Bitmap&&) noexcept = default;
    Bitmap& operator=(Bitmap&&) noexcept = default;

private:
    // Pixel memory comes cleared but untouched (PageMemory): a large bitmap of which little is drawn
    // costs little.
    struct Release {
        size_t size;
        void* mapping = nullptr; // set when the pixels lie in a mapping of their own
        size_t mappedBytes = 0;
        int descriptor = -1;
        bool borrowed = false; // the pixels are someone else's
        void operator()(uint8_t* pixels) const;
    };
    using Pixels = std::unique_ptr<uint8_t[], Release>;
    static Pixels allocate(size_t size);

    Bitmap(int width, int height) : m_width(width), m_height(height), m_stride(width * 4) {}
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    size_t m_size = 0;
    Pixels m_pixels{nullptr, Release{0}};
};

// Packs straight (not premultiplied) 8-bit components into a premultiplied pixel.
uint32_t premultiplied_pixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
