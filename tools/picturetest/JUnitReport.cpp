#include "tools/picturetest/JUnitReport.h"
#include "tools/picturetest/TestProgress.h"

#include <cstdio>

namespace {

// Escaped for XML text and attributes; characters XML 1.0 does not allow become '?'.
std::string xmlEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '&')
            escaped += "&amp;";
        else if (c == '<')
            escaped += "&lt;";
        else if (c == '>')
            escaped += "&gt;";
        else if (c == '"')
            escaped += "&quot;";
        else if (byte < 0x20 && c != '\n' && c != '\t' && c != '\r')
            escaped += '?';
        else
            escaped += c;
    }
    return escaped;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

std::string counts(size_t tests, size_t failures, double seconds) {
    return " tests=\"" + std::to_string(tests) + "\" failures=\"" + std::to_string(failures) +
           "\" errors=\"0\" time=\"" + secondsText(seconds) + "\"";
}

} // namespace

std::string junitReport(const std::vector<TestCase>& cases, const std::vector<RunResult>& results,
                        double seconds) {
    size_t failures = 0;
    for (const RunResult& result : results)
        failures += result.passed() ? 0 : 1;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"zorvi test\"" +
                      counts(results.size(), failures, seconds) + ">\n";
    for (size_t c = 0; c < cases.size(); ++c) {
        std::string label = xmlEscaped(caseLabel(cases[c]));
        std::string body;
        size_t tests = 0, failed = 0;
        double caseSeconds = 0;
        for (const RunResult& result : results) {
            if (result.caseIndex != c)
                continue;
            ++tests;
            caseSeconds += result.seconds;
            body += "    <testcase classname=\"" + label + "\" name=\"" + xmlEscaped(result.cell.label()) +
                    "\" time=\"" + secondsText(result.seconds) + "\"";
            if (result.passed()) {
                body += "/>\n";
                continue;
            }
            ++failed;
            std::string message = !result.problems.empty() ? result.problems.front() : "";
            std::string details;
            for (const std::string& problem : result.problems)
                details += problem + "\n";
            for (const PictureCheck& picture : result.pictures) {
                if (picture.passed())
                    continue;
                if (message.empty())
                    message = picture.name + ": " + picture.message;
                details += picture.name + ": " + picture.message + "\n";
                for (const std::string* path :
                     {&picture.expectedPath, &picture.actualPath, &picture.diffPath})
                    if (!path->empty())
                        details += "  " + *path + "\n";
            }
            body += ">\n      <failure message=\"" + xmlEscaped(message) + "\">" + xmlEscaped(details) +
                    "</failure>\n    </testcase>\n";
        }
        if (tests == 0)
            continue;
        xml += "  <testsuite name=\"" + label + "\"" + counts(tests, failed, caseSeconds) + ">\n" + body +
               "  </testsuite>\n";
    }
    return xml + "</testsuites>\n";
}
