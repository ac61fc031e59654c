#include "hosts/common/ApngVideoFile.h"
#include "hosts/common/PngRows.h"
#include "platform/graphics/Bitmap.h"

#include <cstring>
#include <zlib.h>

namespace {

// Where the animation control's fields sit: after the signature (8 bytes) and the header chunk (25),
// past the control chunk's length and type. Its frame count is known only at the end.
constexpr int64_t animationControlData = 8 + 25 + 8;
// The first frame is the whole screen, mostly wallpaper: fast deflate. The frames after it are small,
// and most of their cost is the new pixels themselves, which a thorough deflate codes in less.
constexpr int firstFrameLevel = 2;
constexpr int changeLevel = 6;

void putU32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

} // namespace

std::unique_ptr<VideoFile> ApngVideoFile::open(OutputFile output, int width, int height, int fps) {
    std::unique_ptr<ApngVideoFile> file(new ApngVideoFile(std::move(output), width, height, fps));
    file->writeHeader();
    return file;
}

ApngVideoFile::ApngVideoFile(OutputFile output, int width, int height, int fps)
    : ChangedAreaVideoFile(std::move(output), width, height, fps), m_zlib(std::make_unique<z_stream_s>()) {}

ApngVideoFile::~ApngVideoFile() {
    if (m_zlib->state)
        deflateEnd(m_zlib.get());
}

void ApngVideoFile::writeChunk(const char* type, const uint8_t* data, size_t size, const uint8_t* prefix,
                               size_t prefixSize) {
    FileSink& out = sink();
    out.u32be(static_cast<uint32_t>(size + prefixSize));
    const uint8_t* name = reinterpret_cast<const uint8_t*>(type);
    out.append(name, 4);
    uLong crc = crc32(0, name, 4);
    if (prefixSize > 0) {
        out.append(prefix, prefixSize);
        crc = crc32(crc, prefix, static_cast<uInt>(prefixSize));
    }
    out.append(data, size);
    crc = crc32_z(crc, data, size);
    out.u32be(static_cast<uint32_t>(crc));
}

void ApngVideoFile::writeHeader() {
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    sink().append(signature, sizeof signature);
    // 8 bits a channel, red, green, blue and alpha; no interlacing.
    uint8_t header[13] = {};
    putU32(header, static_cast<uint32_t>(width()));
    putU32(header + 4, static_cast<uint32_t>(height()));
    header[8] = 8;
    header[9] = 6;
    writeChunk("IHDR", header, sizeof header);
    // The frame count is filled in by finish(); 0 plays: forever.
    uint8_t control[8] = {};
    writeChunk("acTL", control, sizeof control);
}

void ApngVideoFile::filterRows(const Bitmap& frame, const PixelRect& rect) {
    size_t rowBytes = static_cast<size_t>(rect.width) * 4;
    m_filtered.resize((rowBytes + 1) * static_cast<size_t>(rect.height));
    // Each row has a pixel of zeros before it, as the filters expect.
    std::vector<uint8_t> rows[2] = {std::vector<uint8_t>(rowBytes + 4, 0),
                                    std::vector<uint8_t>(rowBytes + 4, 0)};
    bool whole = difference().first();
    for (int i = 0; i < rect.height; ++i) {
        int y = rect.y + i;
        const uint32_t* pixels = frame.row(y) + rect.x;
        const uint32_t* before = whole ? nullptr : difference().previousRow(y) + rect.x;
        uint8_t* out = rows[(i + 1) & 1].data() + 4;
        for (int x = 0; x < rect.width; ++x, out += 4) {
            uint32_t p = pixels[x];
            if (before && before[x] == p) {
                out[3] = 0;
                continue;
            }
            // Screens are opaque: the colour is the premultiplied one, as shown.
            out[0] = static_cast<uint8_t>(p >> 16);
            out[1] = static_cast<uint8_t>(p >> 8);
            out[2] = static_cast<uint8_t>(p);
            out[3] = 255;
        }
        filterPngRow(rows[(i + 1) & 1].data() + 4, rows[i & 1].data() + 4, static_cast<size_t>(rect.width),
                     m_filtered.data() + static_cast<size_t>(i) * (rowBytes + 1), m_scratch);
    }
}

bool ApngVideoFile::compress(std::string& error) {
    z_stream_s& z = *m_zlib;
    int level = difference().first() ? firstFrameLevel : changeLevel;
    int result = z.state ? deflateReset(&z) : deflateInit2(&z, level, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY);
    if (result == Z_OK)
        result = deflateParams(&z, level, Z_DEFAULT_STRATEGY);
    if (result != Z_OK) {
        error = "cannot start compressing";
        return false;
    }
    m_compressed.resize(deflateBound(&z, static_cast<uLong>(m_filtered.size())));
    z.next_in = m_filtered.data();
    z.avail_in = static_cast<uInt>(m_filtered.size());
    z.next_out = m_compressed.data();
    z.avail_out = static_cast<uInt>(m_compressed.size());
    result = deflate(&z, Z_FINISH);
    if (result != Z_STREAM_END) {
        error = "cannot compress a frame";
        return false;
    }
    m_compressed.resize(z.total_out);
    return true;
}

bool ApngVideoFile::writeFrame(const Bitmap& frame, PixelRect changed, std::string& error) {
    bool first = difference().first();
    // Nothing changed: one transparent pixel keeps the frame's place in time.
    PixelRect written = changed.empty() ? PixelRect{0, 0, 1, 1} : changed;
    filterRows(frame, written);
    if (changed.empty())
        std::memset(m_filtered.data(), 0, m_filtered.size());
    if (!compress(error))
        return false;
    uint8_t control[26];
    putU32(control, m_sequence++);
    putU32(control + 4, static_cast<uint32_t>(written.width));
    putU32(control + 8, static_cast<uint32_t>(written.height));
    putU32(control + 12, static_cast<uint32_t>(written.x));
    putU32(control + 16, static_cast<uint32_t>(written.y));
    // A frame lasts 1/fps of a second exactly.
    control[20] = 0;
    control[21] = 1;
    control[22] = static_cast<uint8_t>(framesPerSecond() >> 8);
    control[23] = static_cast<uint8_t>(framesPerSecond());
    control[24] = 0;             // left as it is for the next frame
    control[25] = first ? 0 : 1; // the first replaces the canvas; the rest are laid over it
    writeChunk("fcTL", control, sizeof control);
    if (first) {
        writeChunk("IDAT", m_compressed.data(), m_compressed.size());
    } else {
        uint8_t sequence[4];
        putU32(sequence, m_sequence++);
        writeChunk("fdAT", m_compressed.data(), m_compressed.size(), sequence, sizeof sequence);
    }
    return true;
}

bool ApngVideoFile::writeEnd(std::string& error) {
    writeChunk("IEND", nullptr, 0);
    uint8_t control[12];
    putU32(control, static_cast<uint32_t>(frames()));
    putU32(control + 4, 0);
    putU32(control + 8,
           static_cast<uint32_t>(crc32(crc32(0, reinterpret_cast<const uint8_t*>("acTL"), 4), control, 8)));
    return sink().writeAt(animationControlData, control, sizeof control, error);
}
