#include "hosts/common/GifVideoFile.h"
#include "hosts/common/GifLzw.h"
#include "platform/graphics/Bitmap.h"

#include <cstring>

namespace {

// A frame whose new pixels are this much further from the palette than the pixels it was made from
// shows something the palette was not made for (another screen, a photo): a new one is made.
constexpr double paletteDrift = 2.0;
constexpr double paletteSlack = 12;
// Fewer new pixels than this never make a new palette: a handful of stray pixels is not a new scene.
// Once a palette is made its own error raises the bar, so colours it cannot show either do not
// make another at every frame.
constexpr size_t paletteMinimumPixels = 16;

} // namespace

std::unique_ptr<VideoFile> GifVideoFile::open(OutputFile output, int width, int height, int fps) {
    return std::unique_ptr<VideoFile>(new GifVideoFile(std::move(output), width, height, fps));
}

GifVideoFile::GifVideoFile(OutputFile output, int width, int height, int fps)
    : ChangedAreaVideoFile(std::move(output), width, height, fps) {}

void GifVideoFile::writeColours(const GifPalette& palette) {
    uint8_t table[256 * 3];
    for (size_t i = 0; i < 256; ++i) {
        uint32_t c = palette.colours()[i];
        table[i * 3] = static_cast<uint8_t>(c >> 16);
        table[i * 3 + 1] = static_cast<uint8_t>(c >> 8);
        table[i * 3 + 2] = static_cast<uint8_t>(c);
    }
    sink().append(table, sizeof table);
}

void GifVideoFile::writeHeader() {
    FileSink& out = sink();
    out.append(reinterpret_cast<const uint8_t*>("GIF89a"), 6);
    out.u16le(static_cast<uint16_t>(width()));
    out.u16le(static_cast<uint16_t>(height()));
    // A global table of 256 colours of 8 bits, background colour 0, square pixels.
    const uint8_t screen[] = {0xf7, 0, 0};
    out.append(screen, sizeof screen);
    writeColours(*m_global);
    // Played in a loop, forever, as people expect of an animated picture.
    const uint8_t loop[] = {0x21, 0xff, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                            'E',  '2',  '.', '0', 3,   1,   0,   0,   0};
    out.append(loop, sizeof loop);
}

double GifVideoFile::quantize(const Bitmap& frame, const PixelRect& rect) {
    GifPalette& palette = m_current ? *m_current : *m_global;
    bool whole = difference().first();
    m_indices.resize(static_cast<size_t>(rect.width) * rect.height);
    uint8_t* out = m_indices.data();
    uint64_t error = 0;
    size_t mapped = 0;
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
        const uint32_t* row = frame.row(y);
        const uint32_t* before = whole ? nullptr : difference().previousRow(y);
        for (int x = rect.x; x < rect.x + rect.width; ++x) {
            uint32_t pixel = row[x];
            if (before && before[x] == pixel) {
                *out++ = GifPalette::transparent;
                continue;
            }
            uint8_t index = palette.map(pixel, x, y);
            error += static_cast<uint64_t>(palette.error(pixel, index));
            ++mapped;
            *out++ = index;
        }
    }
    return mapped > 0 ? static_cast<double>(error) / static_cast<double>(mapped) : 0;
}

void GifVideoFile::writeImage(const PixelRect& rect, bool localPalette) {
    // The delay to the next frame in hundredths of a second, rounded so that the delays add up to
    // the recording's length.
    int64_t fps = framesPerSecond();
    auto centiseconds = [fps](int64_t frame) { return (frame * 100 + fps / 2) / fps; };
    uint16_t delay = static_cast<uint16_t>(centiseconds(frames() + 1) - centiseconds(frames()));
    bool transparency = frames() > 0;
    // Each frame is left in place for the next to draw over (disposal 1).
    const uint8_t control[] = {0x21,
                               0xf9,
                               4,
                               static_cast<uint8_t>((1 << 2) | (transparency ? 1 : 0)),
                               static_cast<uint8_t>(delay),
                               static_cast<uint8_t>(delay >> 8),
                               GifPalette::transparent,
                               0};
    FileSink& out = sink();
    out.append(control, sizeof control);
    out.byte(0x2c);
    out.u16le(static_cast<uint16_t>(rect.x));
    out.u16le(static_cast<uint16_t>(rect.y));
    out.u16le(static_cast<uint16_t>(rect.width));
    out.u16le(static_cast<uint16_t>(rect.height));
    out.byte(localPalette ? 0x87 : 0);
    if (localPalette)
        writeColours(*m_current);
    m_coded.clear();
    encodeGifLzw(m_indices.data(), m_indices.size(), m_coded);
    out.append(m_coded);
}

bool GifVideoFile::writeFrame(const Bitmap& frame, PixelRect rect, std::string&) {
    if (difference().first()) {
        m_global = GifPalette::fromPicture(frame);
        writeHeader();
        m_paletteError = quantize(frame, rect);
    } else if (rect.empty()) {
        // Nothing changed: one transparent pixel keeps the frame's place in time.
        m_indices.assign(1, GifPalette::transparent);
        rect = {0, 0, 1, 1};
    } else {
        double drift = quantize(frame, rect);
        size_t changed = 0;
        for (uint8_t index : m_indices)
            changed += index != GifPalette::transparent;
        if (changed >= paletteMinimumPixels && drift > m_paletteError * paletteDrift + paletteSlack) {
            m_current = GifPalette::fromPicture(frame);
            m_paletteError = quantize(frame, rect);
        }
    }
    writeImage(rect, m_current.has_value());
    return true;
}

bool GifVideoFile::writeEnd(std::string& error) {
    sink().byte(0x3b);
    return sink().flush(error);
}
