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
    auto data = make_object<NSData>();
    auto& bytes = data->m_bytes;
    bytes.reserve(static_cast<size_t>(info.st_size));
    uint8_t buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return nullptr;
        }
        if (got == 0)
            break;
        // The file may grow while we read it; the bound still holds.
        if (bytes.size() + static_cast<size_t>(got) > maxBytes) {
            ::close(fd);
            return nullptr;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    ::close(fd);
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
