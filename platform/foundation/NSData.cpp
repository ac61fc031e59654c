#include "platform/foundation/NSData.h"
#include "platform/foundation/DeviceRoot.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Class NSData::objcClass() {
    static Class const cls = objc_defineClass("NSData", NSObject::objcClass(), &instance_factory<NSData>);
    return cls;
}

Ref<NSData> NSData::dataWithBytes(std::vector<uint8_t> bytes) {
    auto data = make_object<NSData>();
    data->m_bytes.assign(bytes.begin(), bytes.end());
    return data;
}

bool NSData::isEqualToData(const NSData* other) const {
    return other && std::equal(m_bytes.begin(), m_bytes.end(), other->m_bytes.begin(), other->m_bytes.end());
}

Ref<NSData> NSData::dataWithContentsOfFile(std::string_view devicePath, size_t maxBytes) {
    auto path = DeviceRoot::hostPath(devicePath);
    if (!path)
        return nullptr;
    int fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<size_t>(info.st_size) > maxBytes) {
        ::close(fd);
        return nullptr;
    }
    // Read straight into the data's own buffer, sized by the file; a file that grows meanwhile is read
    // on, within the bound.
    auto data = make_object<NSData>();
    auto& bytes = data->m_bytes;
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() >= maxBytes + 1)
                break;
            bytes.resize(std::min(maxBytes + 1, std::max<size_t>(bytes.size() * 2, 65536)));
        }
        ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return nullptr;
        }
        if (got == 0)
            break;
        filled += static_cast<size_t>(got);
    }
    ::close(fd);
    if (filled > maxBytes)
        return nullptr;
    bytes.resize(filled);
    return data;
}

Class NSDate::objcClass() {
    static Class const cls = objc_defineClass("NSDate", NSObject::objcClass(), &instance_factory<NSDate>);
    return cls;
}

Ref<NSDate> NSDate::dateWithTimeIntervalSinceReferenceDate(double seconds) {
    auto date = make_object<NSDate>();
    date->m_seconds = seconds;
    return date;
}
