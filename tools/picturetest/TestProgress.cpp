#include "tools/picturetest/TestProgress.h"

TestProgress::TestProgress(const std::vector<TestCase>& cases, size_t runs, FILE* status)
    : m_cases(cases), m_results(runs), m_status(status) {}

std::string caseLabel(const TestCase& testCase) {
    return testCase.folder == "." ? testCase.name : testCase.folder + "/" + testCase.name;
}

void TestProgress::add(size_t run, RunResult result) {
    ++m_done;
    if (!result.passed())
        ++m_failed;
    m_results[run] = std::move(result);
    if (m_status)
        std::fputs("\r\033[K", m_status);
    while (m_printed < m_results.size() && m_results[m_printed])
        print(*m_results[m_printed++]);
    std::fflush(stdout);
    showStatus();
}

void TestProgress::print(const RunResult& result) {
    std::printf("%-5s %s [%s]\n", result.passed() ? "ok" : "FAIL",
                caseLabel(m_cases[result.caseIndex]).c_str(), result.cell.label().c_str());
    for (const std::string& problem : result.problems)
        std::printf("      %s\n", problem.c_str());
    for (const PictureCheck& picture : result.pictures) {
        if (picture.passed())
            continue;
        std::printf("      %s: %s\n", picture.name.c_str(), picture.message.c_str());
        if (!picture.expectedPath.empty() || picture.verdict == PictureVerdict::ExpectedUnreadable)
            std::printf("        expected %s\n", picture.expectedSource.c_str());
        if (!picture.actualPath.empty())
            std::printf("        actual   %s\n", picture.actualPath.c_str());
        if (!picture.diffPath.empty())
            std::printf("        diff     %s\n", picture.diffPath.c_str());
    }
    for (const std::string& update : result.updates)
        std::printf("      %s\n", update.c_str());
}

void TestProgress::showStatus() {
    if (!m_status)
        return;
    if (m_done < m_results.size())
        std::fprintf(m_status, "%zu of %zu runs done, %zu failed", m_done, m_results.size(), m_failed);
    std::fflush(m_status);
}

void TestProgress::finish() {
    if (m_status) {
        std::fputs("\r\033[K", m_status);
        std::fflush(m_status);
    }
}
