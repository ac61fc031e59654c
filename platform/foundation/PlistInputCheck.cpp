#include "platform/foundation/PlistInputCheck.h"

#include <cstring>
#include <optional>
#include <unordered_set>

namespace PlistInputCheck {

namespace {

constexpr size_t headerBytes = 8; // "bplist00"
constexpr size_t trailerBytes = 32;

// Object markers: the high nibble is the kind, the low nibble a size or a length.
enum Kind : uint8_t {
    Simple = 0x0,
    Integer = 0x1,
    Real = 0x2,
    Date = 0x3,
    Data = 0x4,
    AsciiString = 0x5,
    Utf16String = 0x6,
    Array = 0xA,
    Dictionary = 0xD,
};

class BinaryWalker {
public:
    BinaryWalker(std::span<const uint8_t> bytes, int maxDepth, size_t maxValues)
        : m_bytes(bytes), m_maxDepth(maxDepth), m_maxValues(maxValues) {}

    std::string check() {
        if (m_bytes.size() < headerBytes + 1 + trailerBytes)
            return "truncated binary property list";
        if (std::memcmp(m_bytes.data(), "bplist00", headerBytes) != 0)
            return "unsupported binary property list version";
        size_t trailer = m_bytes.size() - trailerBytes;
        m_offsetSize = m_bytes[trailer + 6];
        m_refSize = m_bytes[trailer + 7];
        uint64_t objectCount = readBigEndian(trailer + 8, 8);
        uint64_t top = readBigEndian(trailer + 16, 8);
        uint64_t tableStart = readBigEndian(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return "damaged binary property list (bad trailer)";
        if (objectCount == 0 || top >= objectCount)
            return "damaged binary property list (bad top object)";
        if (tableStart < headerBytes || tableStart > trailer ||
            objectCount > (trailer - tableStart) / m_offsetSize)
            return "truncated binary property list (offset table outside the file)";
        m_objectCount = objectCount;
        m_tableStart = static_cast<size_t>(tableStart);
        if (!walk(top, 0))
            return m_error;
        return {};
    }

private:
    uint64_t readBigEndian(size_t at, size_t width) const {
        uint64_t value = 0;
        for (size_t i = 0; i < width; ++i)
            value = (value << 8) | m_bytes[at + i];
        return value;
    }

    bool fail(std::string why) {
        if (m_error.empty())
            m_error = std::move(why);
        return false;
    }

    // Objects live between the header and the offset table.
    std::optional<size_t> offsetOf(uint64_t index) {
        if (index >= m_objectCount) {
            fail("damaged binary property list (reference to a missing object)");
            return std::nullopt;
        }
        uint64_t offset =
            readBigEndian(m_tableStart + static_cast<size_t>(index) * m_offsetSize, m_offsetSize);
        if (offset < headerBytes || offset >= m_tableStart) {
            fail("truncated binary property list (object outside the file)");
            return std::nullopt;
        }
        return static_cast<size_t>(offset);
    }

    bool fits(size_t at, uint64_t count, uint64_t unit) const {
        if (at > m_tableStart)
            return false;
        uint64_t room = m_tableStart - at;
        return unit == 0 || count <= room / unit;
    }

    // The element count of a data, string or container object; a low nibble of 15 means the count
    // follows as an integer object. at moves past the count.
    std::optional<uint64_t> countOf(uint8_t lowNibble, size_t& at) {
        if (lowNibble != 0xF)
            return lowNibble;
        if (!fits(at, 1, 1)) {
            fail("truncated binary property list");
            return std::nullopt;
        }
        uint8_t marker = m_bytes[at];
        if ((marker >> 4) != Integer || (marker & 0xF) > 3) {
            fail("damaged binary property list (bad length)");
            return std::nullopt;
        }
        size_t width = size_t{1} << (marker & 0xF);
        if (!fits(at + 1, width, 1)) {
            fail("truncated binary property list");
            return std::nullopt;
        }
        uint64_t count = readBigEndian(at + 1, width);
        at += 1 + width;
        return count;
    }

    // The parsing library asserts that a string's length is its C length.
    bool holdsNul(size_t at, size_t count, size_t unit) const {
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* character = m_bytes.data() + at + i * unit;
            if (character[0] == 0 && (unit == 1 || character[1] == 0))
                return true;
        }
        return false;
    }

    bool isStringObject(uint64_t index) {
        auto offset = offsetOf(index);
        if (!offset)
            return false;
        uint8_t kind = m_bytes[*offset] >> 4;
        return kind == AsciiString || kind == Utf16String;
    }

    bool countValue(uint64_t n) {
        m_values += n;
        if (m_values > m_maxValues)
            return fail("binary property list expands to more than " + std::to_string(m_maxValues) +
                        " values");
        return true;
    }

    // Every use of an object is walked and counted, so that a shared subtree costs what the parser
    // will make of it and the depth bound holds along every path; the count bound keeps the walk
    // itself short. A container met again while still open is a cycle.
    bool walk(uint64_t index, int depth) {
        auto offset = offsetOf(index);
        if (!offset)
            return false;
        size_t at = *offset;
        uint8_t marker = m_bytes[at];
        uint8_t kind = marker >> 4;
        uint8_t low = marker & 0xF;
        ++at;
        switch (kind) {
        case Simple:
            if (low != 0x8 && low != 0x9)
                return fail("unsupported value in binary property list");
            return countValue(1);
        case Integer:
            if (low > 4 || !fits(at, size_t{1} << low, 1))
                return fail(low > 4 ? "damaged binary property list (bad integer)"
                                    : "truncated binary property list");
            return countValue(1);
        case Real:
            if ((low != 2 && low != 3) || !fits(at, size_t{1} << low, 1))
                return fail("damaged binary property list (bad real)");
            return countValue(1);
        case Date:
            if (low != 3 || !fits(at, 8, 1))
                return fail("damaged binary property list (bad date)");
            return countValue(1);
        case Data:
        case AsciiString:
        case Utf16String: {
            auto count = countOf(low, at);
            if (!count)
                return false;
            if (!fits(at, *count, kind == Utf16String ? 2 : 1))
                return fail("truncated binary property list");
            if (kind != Data && holdsNul(at, static_cast<size_t>(*count), kind == Utf16String ? 2 : 1))
                return fail("string holds a NUL character");
            return countValue(1);
        }
        case Array:
        case Dictionary:
            return walkContainer(index, kind, low, at, depth + 1);
        default:
            return fail("unsupported value in binary property list");
        }
    }

    bool walkContainer(uint64_t index, uint8_t kind, uint8_t low, size_t at, int depth) {
        if (depth > m_maxDepth)
            return fail("nested deeper than " + std::to_string(m_maxDepth) + " levels");
        if (!m_open.insert(index).second)
            return fail("binary property list refers to itself");
        auto count = countOf(low, at);
        if (!count)
            return false;
        uint64_t refs = kind == Dictionary ? *count * 2 : *count;
        if (*count > m_tableStart || !fits(at, refs, m_refSize))
            return fail("truncated binary property list");
        if (!countValue(1))
            return false;
        for (uint64_t i = 0; i < *count; ++i) {
            if (kind == Dictionary) {
                uint64_t key = readBigEndian(at + i * m_refSize, m_refSize);
                if (!isStringObject(key))
                    return fail("damaged binary property list (dictionary key is not a string)");
                if (!walk(key, depth))
                    return false;
            }
            uint64_t valueAt = kind == Dictionary ? (*count + i) * m_refSize : i * m_refSize;
            if (!walk(readBigEndian(at + valueAt, m_refSize), depth))
                return false;
        }
        m_open.erase(index);
        return true;
    }

    std::span<const uint8_t> m_bytes;
    int m_maxDepth;
    size_t m_maxValues;
    size_t m_offsetSize = 0;
    size_t m_refSize = 0;
    uint64_t m_objectCount = 0;
    size_t m_tableStart = 0;
    size_t m_values = 0;
    std::unordered_set<uint64_t> m_open;
    std::string m_error;
};

bool startsWith(std::span<const uint8_t> bytes, size_t at, const char* text) {
    size_t length = std::strlen(text);
    return at + length <= bytes.size() && std::memcmp(bytes.data() + at, text, length) == 0;
}

// Position just past the first occurrence of terminator at or after from, or nullopt.
std::optional<size_t> skipPast(std::span<const uint8_t> bytes, size_t from, const char* terminator) {
    size_t length = std::strlen(terminator);
    for (size_t i = from; i + length <= bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, terminator, length) == 0)
            return i + length;
    }
    return std::nullopt;
}

} // namespace

std::string checkBinary(std::span<const uint8_t> bytes, int maxDepth, size_t maxValues) {
    return BinaryWalker(bytes, maxDepth, maxValues).check();
}

// A character reference to U+0000 ("&#0;", "&#x00;"), which would put a NUL inside a string.
bool isNulReference(std::span<const uint8_t> bytes, size_t at) {
    size_t i = at + 2;
    bool hex = i < bytes.size() && (bytes[i] == 'x' || bytes[i] == 'X');
    if (hex)
        ++i;
    size_t digits = 0;
    for (; i < bytes.size() && bytes[i] != ';'; ++i, ++digits) {
        if (bytes[i] != '0')
            return false;
    }
    return digits > 0;
}

std::string checkXml(std::span<const uint8_t> bytes, int maxElementDepth) {
    int depth = 0;
    size_t at = 0;
    while (at < bytes.size()) {
        if (bytes[at] == 0)
            return "XML property list holds a NUL byte";
        if (bytes[at] == '&' && startsWith(bytes, at, "&#") && isNulReference(bytes, at))
            return "XML property list refers to a NUL character";
        if (bytes[at] != '<') {
            ++at;
            continue;
        }
        std::optional<size_t> next;
        if (startsWith(bytes, at, "<!--"))
            next = skipPast(bytes, at + 4, "-->");
        else if (startsWith(bytes, at, "<![CDATA["))
            next = skipPast(bytes, at + 9, "]]>");
        else if (startsWith(bytes, at, "<?"))
            next = skipPast(bytes, at + 2, "?>");
        else if (startsWith(bytes, at, "<!"))
            next = skipPast(bytes, at + 2, ">");
        else if (startsWith(bytes, at, "</")) {
            next = skipPast(bytes, at + 2, ">");
            --depth;
        } else {
            next = skipPast(bytes, at + 1, ">");
            if (next && bytes[*next - 2] != '/' && ++depth > maxElementDepth)
                return "nested deeper than " + std::to_string(maxElementDepth) + " elements";
        }
        if (!next)
            return "truncated XML property list";
        at = *next;
    }
    return {};
}

} // namespace PlistInputCheck
