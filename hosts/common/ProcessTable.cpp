#include "hosts/common/ProcessTable.h"
#include "platform/foundation/DeviceRoot.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
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
    auto folder = DeviceRoot::hostPath(tableFolder);
    if (!folder || !isPlainName(name))
        return false;
    std::error_code error;
    std::filesystem::create_directories(*folder, error);
    pid_t pid = ::getpid();
    std::string file = *folder + "/" + std::string(name) + "." + std::to_string(pid);
    std::ofstream out(file, std::ios::trunc);
    out << startTime(pid) << "\n";
    if (!out.flush())
        return false;
    registeredFile = file;
    return true;
}

void unregisterSelf() {
    if (!registeredFile.empty())
        ::unlink(registeredFile.c_str());
    registeredFile.clear();
}

std::vector<Process> running() {
    std::vector<Process> found;
    auto folder = DeviceRoot::hostPath(tableFolder);
    if (!folder)
        return found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(*folder, error), end;
         !error && it != end && found.size() < 1000; it.increment(error)) {
        std::string file = it->path().filename().string();
        size_t dot = file.rfind('.');
        if (dot == std::string::npos || dot == 0)
            continue;
        long pid = std::strtol(file.c_str() + dot + 1, nullptr, 10);
        std::ifstream in(it->path());
        unsigned long long recorded = 0;
        in >> recorded;
        if (pid > 0 && recorded != 0 && startTime(static_cast<pid_t>(pid)) == recorded)
            found.push_back({file.substr(0, dot), static_cast<pid_t>(pid)});
        else
            std::filesystem::remove(it->path(), error);
    }
    std::sort(found.begin(), found.end(), [](const Process& a, const Process& b) {
        return a.name != b.name ? a.name < b.name : a.pid < b.pid;
    });
    return found;
}

} // namespace ProcessTable
