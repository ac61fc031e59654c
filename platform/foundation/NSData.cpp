#include "platform/foundation/NSData.h"
#include "platform/foundation/DeviceFile.h"
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
    // Beneath the device root, regular files only, never waiting on a fifo, bounded.
    auto data = make_object<NSData>();
    int fd = DeviceFile::open(devicePath, O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    auto before = FileIdentity::of(fd);
    std::string error;
    // The reader takes its descriptor over; this one stays to see whether the file changed meanwhile.
    int reading = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    bool read = reading >= 0 &&
                AtomicFile::readOpen(reading, maxBytes, data->m_bytes, error) == AtomicFile::ReadStatus::Read;
    auto after = FileIdentity::of(fd);
    ::close(fd);
    if (!read)
        return nullptr;
    if (before && before == after)
        data->m_file = before;
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
