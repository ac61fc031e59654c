#pragma once

// Bytes written to a file descriptor through a buffer, for the encoders that write their own
// containers. A failed write is kept and reported by flush(); later bytes are dropped.

#include <cstdint>
#include <string>
#include <vector>

class FileSink {
public:
    explicit FileSink(int fd) : m_fd(fd) { m_buffer.reserve(bufferSize); }

    void append(const uint8_t* bytes, size_t count);
    void append(const std::vector<uint8_t>& bytes) { append(bytes.data(), bytes.size()); }
    void byte(uint8_t value) { append(&value, 1); }
    void u16le(uint16_t value);
    void u32be(uint32_t value);

    // Writes what is buffered; false with error set if any write failed.
    bool flush(std::string& error);
    // Overwrites bytes already written (after flush), for a count known only at the end.
    bool writeAt(int64_t offset, const uint8_t* bytes, size_t count, std::string& error);
    // Bytes appended so far.
    int64_t size() const { return m_written + static_cast<int64_t>(m_buffer.size()); }

private:
    static constexpr size_t bufferSize = 1 << 20;
    void writeOut(const uint8_t* bytes, size_t count);
    void drain();

    int m_fd;
    std::vector<uint8_t> m_buffer;
    int64_t m_written = 0;
    int m_failure = 0; // errno of the first failed write
};
