#include "hosts/common/ProcessTable.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <unistd.h>

namespace {

constexpr const char* tableFolder = "/var/run/processes";

std::string registeredFile;

bool isPlainName(std::string_view name) {
    return !name.empty() && name.size() <= 100 && name.find('/') == std::string_view::npos && name != "." &&
           name != "..";
}

} // namespace

namespace ProcessTable {

unsigned long long startTime(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name may hold blanks and parentheses; the fields after its last ')' do not.
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // State is field 3; the start time is field 22.
    for (int index = 3; index <= 22 && fields >> field; ++index)
        if (index == 22)
            return std::strtoull(field.c_str(), nullptr, 10);
    return 0;
}

bool registerSelf(std::string_view name) {
    if (!isPlainName(name))
        return false;
    pid_t pid = ::getpid();
    std::string file = std::string(tableFolder) + "/" + std::string(name) + "." + std::to_string(pid);
    std::string text = std::to_string(startTime(pid)) + "\n", error;
    if (!DeviceFile::write(file, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                           error))
        return false;
    registeredFile = file;
    return true;
}

void unregisterSelf() {
    if (!registeredFile.empty())
        DeviceFile::remove(registeredFile);
    registeredFile.clear();
}

std::vector<Process> running() {
    std::vector<Process> found;
    for (const std::string& file : DeviceFile::list(tableFolder, 1000)) {
        size_t dot = file.rfind('.');
        if (dot == std::string::npos || dot == 0)
            continue;
        long pid = std::strtol(file.c_str() + dot + 1, nullptr, 10);
        std::string path = std::string(tableFolder) + "/" + file, error;
        std::vector<uint8_t> bytes;
        unsigned long long recorded = 0;
        if (DeviceFile::read(path, 64, bytes, error) == AtomicFile::ReadStatus::Read)
            recorded = std::strtoull(std::string(bytes.begin(), bytes.end()).c_str(), nullptr, 10);
        if (pid <= 0 || pid > std::numeric_limits<pid_t>::max() || recorded == 0 ||
            startTime(static_cast<pid_t>(pid)) != recorded) {
            DeviceFile::remove(path);
            continue;
        }
        std::string why;
        if (DeviceProcess process = DeviceProcess::open(static_cast<pid_t>(pid), why))
            found.push_back({file.substr(0, dot), static_cast<pid_t>(pid), std::move(process)});
        else
            NSLog("process table: skipped " + file + ": " + why);
    }
    std::sort(found.begin(), found.end(), [](const Process& a, const Process& b) {
        return a.name != b.name ? a.name < b.name : a.pid < b.pid;
    });
    return found;
}

} // namespace ProcessTable
