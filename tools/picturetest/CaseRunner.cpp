#include "tools/picturetest/CaseRunner.h"
#include "hosts/common/Interruption.h"
#include "tools/picturetest/ChildProcess.h"
#include "tools/picturetest/TraceErrors.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

using Clock = std::chrono::steady_clock;

struct Device {
    MatrixCell cell;
    std::string folder;
    enum class State { Waiting, Making, Ready, Failed } state = State::Waiting;
    std::string problem;
};

struct Active {
    bool isDevice = false;
    size_t index = 0;
    std::string copy;
    Clock::time_point start, ended;
};

// The last line a program wrote to its log, for a message.
std::string lastLogLine(const std::string& path) {
    std::ifstream log(path);
    std::string line, last;
    while (std::getline(log, line))
        if (!line.empty())
            last = line;
    return last;
}

std::string endText(const ChildEnd& end, unsigned timeLimit) {
    if (end.signal == SIGALRM && timeLimit)
        return "took longer than " + std::to_string(timeLimit) + " s and was ended";
    if (end.signal)
        return std::string("ended by signal ") + std::to_string(end.signal) + " (" + strsignal(end.signal) +
               ")";
    return "ended with status " + std::to_string(end.status);
}

std::vector<std::string> runProblems(const ChildEnd& end, const std::string& folder, const TestCase& testCase,
                                     unsigned timeLimit) {
    std::vector<std::string> problems = traceErrors(folder + "/trace.jsonl");
    // Status 1 is a script with lines that could not run, which the trace names.
    if (end.status == 0 || (end.status == 1 && !problems.empty()))
        return problems;
    std::string why = end.status == 127 ? "could not start: " + lastLogLine(folder + "/host.log")
                                        : endText(end, timeLimit) + " (its output: " + folder + "/host.log)";
    problems.insert(problems.begin(), std::string(hostProgram(testCase.host)) + " " + why);
    return problems;
}

std::string absolute(const std::string& path) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.string();
}

} // namespace

void CaseRunner::run(const std::vector<PlannedRun>& runs,
                     const std::function<void(size_t run, CaseRun result)>& finished) {
    std::string deviceFolder = m_work + "/devices";
    std::error_code fsError;
    std::filesystem::create_directories(deviceFolder, fsError);

    std::vector<Device> devices;
    std::vector<size_t> deviceOf(runs.size());
    for (size_t i = 0; i < runs.size(); ++i) {
        size_t d = 0;
        while (d < devices.size() && !(devices[d].cell == runs[i].cell))
            ++d;
        if (d == devices.size())
            devices.push_back(
                {runs[i].cell, deviceFolder + "/" + runs[i].cell.folderName(), Device::State::Waiting, ""});
        deviceOf[i] = d;
    }

    std::vector<bool> started(runs.size(), false);
    std::map<pid_t, Active> active;
    // Runs that ended, looked at once the free places are taken again.
    std::vector<std::pair<Active, ChildEnd>> ended;
    size_t done = 0;
    auto finish = [&](size_t index, CaseRun result) {
        ++done;
        finished(index, std::move(result));
    };

    while (done < runs.size() && !Interruption::requested()) {
        // Runs that need no process: a case that cannot run, or a device that could not be made.
        for (size_t i = 0; i < runs.size(); ++i) {
            if (started[i])
                continue;
            const TestCase& testCase = m_cases[runs[i].caseIndex];
            const Device& device = devices[deviceOf[i]];
            if (!testCase.problem.empty() || device.state == Device::State::Failed) {
                started[i] = true;
                finish(i, CaseRun{{testCase.problem.empty() ? device.problem : testCase.problem}, 0});
            }
        }
        while (static_cast<int>(active.size()) < m_jobs) {
            // A run whose device is ready goes first; else the device that the first waiting run needs.
            size_t next = runs.size();
            size_t deviceToMake = devices.size();
            for (size_t i = 0; i < runs.size() && next == runs.size(); ++i) {
                if (started[i])
                    continue;
                Device& device = devices[deviceOf[i]];
                if (device.state == Device::State::Ready)
                    next = i;
                else if (device.state == Device::State::Waiting && deviceToMake == devices.size())
                    deviceToMake = deviceOf[i];
            }
            std::string error;
            if (next < runs.size()) {
                const PlannedRun& planned = runs[next];
                const TestCase& testCase = m_cases[planned.caseIndex];
                std::string copy = deviceFolder + "/run-" + std::to_string(next);
                std::string source = devices[deviceOf[next]].folder;
                ChildCommand command{
                    programBeside(hostProgram(testCase.host)),
                    {"--root", copy, "--headless", "--script", absolute(testCase.path), "--trace",
                     planned.folder + "/trace.jsonl"},
                    planned.folder,
                    planned.folder + "/host.log",
                    [source, copy] {
                        std::error_code copyError;
                        std::filesystem::copy(source, copy,
                                              std::filesystem::copy_options::recursive |
                                                  std::filesystem::copy_options::copy_symlinks,
                                              copyError);
                        return copyError ? "cannot copy the device " + source + ": " + copyError.message()
                                         : std::string();
                    },
                    m_timeLimit};
                started[next] = true;
                pid_t pid = startChild(command, error);
                if (pid < 0)
                    finish(next, CaseRun{{error}, 0});
                else
                    active[pid] = Active{false, next, copy, Clock::now(), {}};
            } else if (deviceToMake < devices.size()) {
                Device& device = devices[deviceToMake];
                ChildCommand command{programBeside("zorvi"),
                                     {"device", "create", "--root", device.folder, "--system",
                                      device.cell.system, "--screen", device.cell.screen, "--force"},
                                     "",
                                     device.folder + ".log",
                                     {},
                                     m_timeLimit};
                pid_t pid = startChild(command, error);
                if (pid < 0) {
                    device.state = Device::State::Failed;
                    device.problem = error;
                    break;
                }
                device.state = Device::State::Making;
                active[pid] = Active{true, deviceToMake, "", Clock::now(), {}};
            } else {
                break;
            }
        }
        for (const auto& [what, end] : ended) {
            const PlannedRun& planned = runs[what.index];
            CaseRun result;
            result.seconds = std::chrono::duration<double>(what.ended - what.start).count();
            result.problems = runProblems(end, planned.folder, m_cases[planned.caseIndex], m_timeLimit);
            std::filesystem::remove_all(what.copy, fsError);
            finish(what.index, std::move(result));
        }
        ended.clear();
        if (active.empty())
            continue;
        std::optional<ChildEnd> end = waitForChild(Interruption::requested);
        if (!end)
            break;
        auto found = active.find(end->pid);
        if (found == active.end())
            continue;
        Active what = found->second;
        active.erase(found);
        if (what.isDevice) {
            Device& device = devices[what.index];
            device.state = end->status == 0 ? Device::State::Ready : Device::State::Failed;
            if (end->status != 0)
                device.problem = "the device " + device.cell.label() +
                                 " could not be made: " + lastLogLine(device.folder + ".log");
            continue;
        }
        what.ended = Clock::now();
        ended.emplace_back(what, *end);
    }
    // Interrupted: what is running is ended and waited for, so that nothing is left behind.
    for (const auto& [pid, what] : active)
        ::kill(pid, SIGTERM);
    for (size_t left = active.size(); left > 0 && waitForChild(); --left) {
    }
    std::filesystem::remove_all(deviceFolder, fsError);
}
