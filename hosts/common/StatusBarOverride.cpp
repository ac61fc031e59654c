#include "hosts/common/StatusBarOverride.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/notify/DarwinNotificationCenter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* path = "/var/mobile/Library/SpringBoard/StatusBarOverride";

std::optional<std::tm> parseDay(const std::string& text) {
    int year = 0, month = 0, day = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 ||
        used != static_cast<int>(text.size()) || year < 1970 || year > 9999 || month < 1 || month > 12 ||
        day < 1 || day > 31)
        return std::nullopt;
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = 12;
    std::time_t moment = timegm(&parts);
    std::tm check{};
    gmtime_r(&moment, &check);
    // 31 April comes back as another day: refused.
    if (check.tm_mday != day || check.tm_mon != month - 1)
        return std::nullopt;
    return check;
}

} // namespace

namespace StatusBarOverride {

std::optional<Moment> parse(const std::string& time, const std::string& date) {
    Moment moment;
    int used = 0;
    if (std::sscanf(time.c_str(), "%2d:%2d%n", &moment.hour, &moment.minute, &used) != 2 ||
        used != static_cast<int>(time.size()) || time.size() < 4 || moment.hour < 0 || moment.hour > 23 ||
        moment.minute < 0 || moment.minute > 59 || time[time.size() - 3] != ':')
        return std::nullopt;
    if (!date.empty() && !(moment.day = parseDay(date)))
        return std::nullopt;
    return moment;
}

std::optional<Moment> read() {
    std::vector<uint8_t> bytes;
    std::string error;
    if (DeviceFile::read(path, 64, bytes, error) != AtomicFile::ReadStatus::Read)
        return std::nullopt;
    std::string text(bytes.begin(), bytes.end());
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    size_t blank = text.find(' ');
    return parse(text.substr(0, blank), blank == std::string::npos ? std::string() : text.substr(blank + 1));
}

bool write(const Moment& moment, std::string& error) {
    char text[32];
    int length = std::snprintf(text, sizeof text, "%02d:%02d", moment.hour, moment.minute);
    if (moment.day)
        length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length), " %04d-%02d-%02d",
                                moment.day->tm_year + 1900, moment.day->tm_mon + 1, moment.day->tm_mday);
    std::string line = std::string(text, static_cast<size_t>(length)) + "\n";
    if (!DeviceFile::write(path, std::span(reinterpret_cast<const uint8_t*>(line.data()), line.size()),
                           error))
        return false;
    DarwinNotificationCenter::shared().post(changedNotification);
    return true;
}

bool clear(std::string& error) {
    if (!DeviceFile::remove(path) && read()) {
        error = std::string("cannot remove ") + path + ": " + std::strerror(errno);
        return false;
    }
    DarwinNotificationCenter::shared().post(changedNotification);
    return true;
}

std::string timeText(const Moment& moment) {
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d", moment.hour, moment.minute);
    return text;
}

std::string dateText(const Moment& moment) {
    if (!moment.day)
        return {};
    char text[64];
    std::strftime(text, sizeof text, "%A %-d %B", &*moment.day);
    return text;
}

} // namespace StatusBarOverride
