#include "tools/picturetest/HtmlReport.h"
#include "tools/picturetest/PictureFile.h"
#include "tools/picturetest/TestProgress.h"

#include <algorithm>

namespace {

constexpr char style[] =
    R"(body { font: 14px/1.4 sans-serif; margin: 24px; color: #222; background: #fafafa; }
h1 { font-size: 20px; }
section { background: #fff; border: 1px solid #ddd; border-left: 6px solid #3a3; margin: 12px 0; padding: 8px 16px; }
section.fail { border-left-color: #d22; }
h2 { font-size: 16px; margin: 4px 0; }
.status { font-weight: bold; margin-right: 8px; }
.fail .status { color: #d22; }
.pass .status { color: #3a3; }
ul { margin: 4px 0; padding-left: 20px; }
.pictures { display: flex; flex-wrap: wrap; gap: 16px; align-items: flex-start; }
figure { margin: 4px 0; }
figcaption { font-size: 12px; color: #555; }
img { border: 1px solid #ccc; max-height: 480px; image-rendering: pixelated; background: #fff; }
.picture h3 { font-size: 14px; margin: 8px 0 2px; font-weight: normal; }
)";

std::string base64(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = uint32_t{bytes[i]} << 16;
        if (i + 1 < bytes.size())
            group |= uint32_t{bytes[i + 1]} << 8;
        if (i + 2 < bytes.size())
            group |= bytes[i + 2];
        text += digits[group >> 18 & 63];
        text += digits[group >> 12 & 63];
        text += i + 1 < bytes.size() ? digits[group >> 6 & 63] : '=';
        text += i + 2 < bytes.size() ? digits[group & 63] : '=';
    }
    return text;
}

// A picture file as a figure whose image is inside the page; nothing when it cannot be read.
std::string figure(const std::string& path, const std::string& caption) {
    if (path.empty())
        return "";
    PictureFile file = readPictureFile(path);
    if (file.status != PictureFile::Status::Read)
        return "";
    return "<figure><img alt=\"" + htmlEscaped(caption) + "\" src=\"data:image/png;base64," +
           base64(file.bytes) + "\"><figcaption>" + htmlEscaped(caption) + "</figcaption></figure>";
}

std::string section(const TestCase& testCase, const RunResult& result) {
    bool passed = result.passed();
    std::string html = std::string("<section class=\"") + (passed ? "pass" : "fail") +
                       "\"><h2><span class=\"status\">" + (passed ? "ok" : "FAIL") + "</span>" +
                       htmlEscaped(caseLabel(testCase)) + " [" + htmlEscaped(result.cell.label()) +
                       "]</h2>\n";
    if (!result.problems.empty() || !result.updates.empty()) {
        html += "<ul>";
        for (const std::string& line : result.problems)
            html += "<li>" + htmlEscaped(line) + "</li>";
        for (const std::string& line : result.updates)
            html += "<li>" + htmlEscaped(line) + "</li>";
        html += "</ul>\n";
    }
    for (const PictureCheck& picture : result.pictures) {
        html += "<div class=\"picture\"><h3>" + htmlEscaped(picture.name) +
                (picture.message.empty() ? "" : ": " + htmlEscaped(picture.message)) +
                "</h3><div class=\"pictures\">";
        if (picture.passed()) {
            html += figure(picture.actualPath, "as expected");
        } else {
            html += figure(picture.expectedPath, "expected");
            html += figure(picture.actualPath, "actual");
            html += figure(picture.diffPath, "diff");
        }
        html += "</div></div>\n";
    }
    return html + "</section>\n";
}

} // namespace

std::string htmlEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string htmlReport(const std::vector<TestCase>& cases, const std::vector<RunResult>& results) {
    size_t failed = static_cast<size_t>(std::count_if(
        results.begin(), results.end(), [](const RunResult& result) { return !result.passed(); }));
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>zorvi test: " +
        std::to_string(failed) + " failed</title><style>\n" + style + "</style></head><body>\n";
    html += "<h1>zorvi test: " + std::to_string(results.size()) + " runs, " +
            std::to_string(results.size() - failed) + " passed, " + std::to_string(failed) + " failed</h1>\n";
    for (bool failures : {true, false})
        for (const RunResult& result : results)
            if (result.passed() != failures)
                html += section(cases[result.caseIndex], result);
    return html + "</body></html>\n";
}
