#pragma once

#include "platform/foundation/PageMemory.h"

// Immutable bytes.

#include "platform/foundation/FileIdentity.h"
#include "runtime/NSObject.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

class NSData : public NSObject {
public:
    static Class objcClass();
    static Ref<NSData> dataWithBytes(std::vector<uint8_t> bytes);
    // The whole file at a device path, or nil when it is missing, unreadable, not a regular file
    // or larger than maxBytes.
    static Ref<NSData> dataWithContentsOfFile(std::string_view devicePath, size_t maxBytes = 256u << 20);

    NSData() = default;
    std::span<const uint8_t> bytes() const { return m_bytes; }
    size_t length() const { return m_bytes.size(); }
    bool isEqualToData(const NSData* other) const;
    // The file the bytes were read from, when it did not change while they were read: a decoder
    // may share what it made from the same unchanged file before.
    const std::optional<FileIdentity>& fileIdentity() const { return m_file; }

private:
    PageBytes m_bytes; // large for whole files: in page memory
    std::optional<FileIdentity> m_file;
};

// Property-list dates: seconds since 2001-01-01 00:00:00 UTC.
class NSDate : public NSObject {
public:
    static Class objcClass();
    static Ref<NSDate> dateWithTimeIntervalSinceReferenceDate(double seconds);
    double timeIntervalSinceReferenceDate() const { return m_seconds; }

private:
    double m_seconds = 0;
};
