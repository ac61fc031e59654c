#include "hosts/common/ProcessTable.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceLog.h"
#include "platform/foundation/DeviceRoot.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char* tableFolder = "/var/run/processes";

std::string registeredFile;

// The name each of the device's programs records itself under.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> recordedNames{{
    {"zv-backboardd", "backboardd"},
    {"zv-springboard", "SpringBoard"},
    {"zv-settings", "Preferences"},
}};

// The name a process would be recorded under, from the file name of the program it runs ("" for
// a program that is none of the device's, or a process that cannot be seen).
std::string recordedName(pid_t pid) {
    std::error_code failure;
    std::string program =
        std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", failure).filename().string();
    constexpr std::string_view replaced = " (deleted)";
    if (program.ends_with(replaced))
        program.resize(program.size() - replaced.size());
    for (const auto& [file, name] : recordedNames)
        if (program == file)
            return std::string(name);
    return {};
}

// The device's processes that its table does not hold: one that could not write its entry (a full
// disk) is still the device's, and the kernel knows it.
void addUnrecorded(std::vector<ProcessTable::Process>& found) {
    std::error_code failure;
    for (std::filesystem::directory_iterator it("/proc", failure), end; !failure && it != end;
         it.increment(failure)) {
        std::string file = it->path().filename().string();
        if (file.empty() ||
            !std::all_of(file.begin(), file.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        long pid = std::strtol(file.c_str(), nullptr, 10);
        if (pid <= 0 || pid > std::numeric_limits<pid_t>::max() ||
            std::any_of(found.begin(), found.end(), [&](const auto& known) { return known.pid == pid; }))
            continue;
        std::string name = recordedName(static_cast<pid_t>(pid)), why;
        if (name.empty())
            continue;
        if (DeviceProcess process = DeviceProcess::open(static_cast<pid_t>(pid), why))
            found.push_back({name, static_cast<pid_t>(pid), std::move(process)});
    }
}

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

bool registerSelf(std::string_view name, std::string& why) {
    if (!isPlainName(name)) {
        why = "not a process name: " + std::string(name);
        return false;
    }
    pid_t pid = ::getpid();
    std::string file = std::string(tableFolder) + "/" + std::string(name) + "." + std::to_string(pid);
    std::string text = std::to_string(startTime(pid)) + "\n", error;
    if (!DeviceFile::write(file, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                           error)) {
        why = "cannot enter " + std::string(name) + " in the device's process table: " + error;
        return false;
    }
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
        std::string name = file.substr(0, dot), why;
        DeviceProcess process = DeviceProcess::open(static_cast<pid_t>(pid), why);
        // An entry names the process it is about: one of the device's under another name is not it.
        if (process && recordedName(static_cast<pid_t>(pid)) != name) {
            why = "it is the device's " + recordedName(static_cast<pid_t>(pid)) + ", not its " + name;
            process = {};
        }
        if (process)
            found.push_back({name, static_cast<pid_t>(pid), std::move(process)});
        else
            NSLog("process table: skipped " + file + ": " + why);
    }
    addUnrecorded(found);
    std::sort(found.begin(), found.end(), [](const Process& a, const Process& b) {
        return a.name != b.name ? a.name < b.name : a.pid < b.pid;
    });
    return found;
}

} // namespace ProcessTable
