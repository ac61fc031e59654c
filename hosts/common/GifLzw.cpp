#include "hosts/common/GifLzw.h"

#include <array>
#include <memory>

namespace {

constexpr int rootBits = 8;
constexpr uint32_t clearCode = 1u << rootBits, endCode = clearCode + 1;
// Codes are at most 12 bits; the table is started afresh before it would need a 4096th.
constexpr uint32_t lastCode = 4095;
constexpr size_t slots = 1 << 13; // a power of two well above 4096 entries, so probes stay short

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : m_out(out) {}
    void put(uint32_t code, int bits) {
        m_bits |= static_cast<uint64_t>(code) << m_count;
        m_count += bits;
        while (m_count >= 8) {
            byte(static_cast<uint8_t>(m_bits));
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    void finish() {
        if (m_count > 0)
            byte(static_cast<uint8_t>(m_bits));
        m_count = 0;
        if (m_used > 0) {
            m_out.push_back(static_cast<uint8_t>(m_used));
            m_out.insert(m_out.end(), m_block, m_block + m_used);
            m_used = 0;
        }
        m_out.push_back(0);
    }

private:
    void byte(uint8_t value) {
        m_block[m_used++] = value;
        if (m_used == 255) {
            m_out.push_back(255);
            m_out.insert(m_out.end(), m_block, m_block + 255);
            m_used = 0;
        }
    }
    std::vector<uint8_t>& m_out;
    uint64_t m_bits = 0;
    int m_count = 0;
    uint8_t m_block[255];
    int m_used = 0;
};

// The strings seen so far, each a known code followed by one index, looked up by hashing.
class CodeTable {
public:
    CodeTable() { clear(); }
    void clear() { m_keys.fill(0); }
    // The code of `prefix` followed by `index`, or -1.
    int find(uint32_t key) const {
        for (size_t slot = hash(key);; slot = (slot + 1) & (slots - 1)) {
            if (m_keys[slot] == 0)
                return -1;
            if (m_keys[slot] == key + 1)
                return m_codes[slot];
        }
    }
    void add(uint32_t key, uint16_t code) {
        size_t slot = hash(key);
        while (m_keys[slot] != 0)
            slot = (slot + 1) & (slots - 1);
        m_keys[slot] = key + 1;
        m_codes[slot] = code;
    }

private:
    static size_t hash(uint32_t key) { return (key * 2654435761u) >> (32 - 13); }
    std::array<uint32_t, slots> m_keys; // key + 1; 0 marks an empty slot
    std::array<uint16_t, slots> m_codes;
};

} // namespace

void encodeGifLzw(const uint8_t* indices, size_t count, std::vector<uint8_t>& out) {
    out.push_back(rootBits);
    BitWriter writer(out);
    auto table = std::make_unique<CodeTable>();
    int bits = rootBits + 1;
    uint32_t next = endCode + 1;
    // The width grows once the next code to be made no longer fits, as decoders expect.
    auto emit = [&](uint32_t code) {
        writer.put(code, bits);
        if (next >= (1u << bits) && bits < 12)
            ++bits;
    };
    emit(clearCode);
    if (count > 0) {
        uint32_t prefix = indices[0];
        for (size_t i = 1; i < count; ++i) {
            uint32_t key = (prefix << 8) | indices[i];
            int code = table->find(key);
            if (code >= 0) {
                prefix = static_cast<uint32_t>(code);
                continue;
            }
            emit(prefix);
            prefix = indices[i];
            if (next >= lastCode) {
                emit(clearCode);
                table->clear();
                next = endCode + 1;
                bits = rootBits + 1;
            } else {
                table->add(key, static_cast<uint16_t>(next++));
            }
        }
        emit(prefix);
    }
    emit(endCode);
    writer.finish();
}
