#pragma once

// Running test cases on the devices of their matrix: one device made per cell, copied afresh for
// each run so that no run sees what another did, each host run headless in the run's own folder
// (where a snapshot's bare name lands), up to N processes at once.

#include "tools/picturetest/DeviceMatrix.h"
#include "tools/picturetest/TestCases.h"

#include <functional>
#include <string>
#include <vector>

struct PlannedRun {
    size_t caseIndex = 0;
    MatrixCell cell;
    // The run's own folder, made beforehand: its pictures, trace.jsonl and host.log go there.
    std::string folder;
};

struct CaseRun {
    // What kept the run from completing: the device could not be made, the host could not start or
    // ended by a signal, or the script's lines that could not run. Empty when every line ran.
    std::vector<std::string> problems;
    double seconds = 0;
};

// Seconds a run may take unless the command line says otherwise.
constexpr unsigned defaultRunTimeLimit = 300;

class CaseRunner {
public:
    // workFolder holds the devices while they are in use.
    // timeLimit: seconds each run may take (0: no limit).
    CaseRunner(const std::vector<TestCase>& cases, std::string workFolder, int jobs, unsigned timeLimit)
        : m_cases(cases), m_work(std::move(workFolder)), m_jobs(jobs < 1 ? 1 : jobs), m_timeLimit(timeLimit) {
    }

    // Runs them all; finished is told of each as it ends (in the order they end).
    void run(const std::vector<PlannedRun>& runs,
             const std::function<void(size_t run, CaseRun result)>& finished);

private:
    const std::vector<TestCase>& m_cases;
    std::string m_work;
    int m_jobs;
    unsigned m_timeLimit;
};
