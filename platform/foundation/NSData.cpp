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
    std::string error;
    if (DeviceFile::read(devicePath, maxBytes, data->m_bytes, error) != AtomicFile::ReadStatus::Read)
        return nullptr;
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
