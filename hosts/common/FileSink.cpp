#include "hosts/common/FileSink.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

void FileSink::append(const uint8_t* bytes, size_t count) {
    if (m_buffer.size() + count > bufferSize)
        drain();
    // Large blocks go straight out rather than through the buffer.
    if (count >= bufferSize)
        writeOut(bytes, count);
    else
        m_buffer.insert(m_buffer.end(), bytes, bytes + count);
}

void FileSink::u16le(uint16_t value) {
    uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    append(bytes, 2);
}

void FileSink::u32be(uint32_t value) {
    uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                        static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    append(bytes, 4);
}

void FileSink::writeOut(const uint8_t* bytes, size_t count) {
    while (count > 0 && m_failure == 0) {
        ssize_t done = ::write(m_fd, bytes, count);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            m_failure = done < 0 ? errno : EIO;
            break;
        }
        bytes += done;
        count -= static_cast<size_t>(done);
        m_written += done;
    }
}

void FileSink::drain() {
    writeOut(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
}

bool FileSink::flush(std::string& error) {
    drain();
    if (m_failure != 0) {
        error = std::strerror(m_failure);
        return false;
    }
    return true;
}

bool FileSink::writeAt(int64_t offset, const uint8_t* bytes, size_t count, std::string& error) {
    if (!flush(error))
        return false;
    while (count > 0) {
        ssize_t done = ::pwrite(m_fd, bytes, count, offset);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            error = std::strerror(done < 0 ? errno : EIO);
            return false;
        }
        bytes += done;
        count -= static_cast<size_t>(done);
        offset += done;
    }
    return true;
}
