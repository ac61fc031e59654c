#include "hosts/settings/SettingsPages.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/Utf8.h"

#include <cstdint>

namespace SettingsPages {

namespace {

constexpr std::string_view header = "zorvi-settings-pages 1";

// A label as a row shows it: UTF-8 text of one line, no control characters, bounded.
bool plausibleLabel(std::string_view label) {
    if (label.empty() || label.size() > maxLabel || !Utf8::isValid(label))
        return false;
    for (unsigned char c : label)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

} // namespace

std::string text(const Stack& stack) {
    std::string out(header);
    out += '\n';
    if (stack.entry.empty())
        return out;
    out += "entry\t" + stack.entry + "\n";
    for (const std::string& link : stack.links)
        out += "link\t" + link + "\n";
    return out;
}

std::optional<Stack> parse(std::string_view text) {
    if (text.size() > (maxDepth + 2) * (maxLabel + 8) || text.empty() || text.back() != '\n')
        return std::nullopt;
    Stack stack;
    size_t start = 0, number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (number++ == 0) {
            if (line != header)
                return std::nullopt;
            continue;
        }
        size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return std::nullopt;
        std::string_view kind = line.substr(0, tab), label = line.substr(tab + 1);
        if (!plausibleLabel(label))
            return std::nullopt;
        if (kind == "entry" && number == 2)
            stack.entry = label;
        else if (kind == "link" && number > 2 && stack.links.size() < maxDepth)
            stack.links.emplace_back(label);
        else
            return std::nullopt;
    }
    if (number == 0)
        return std::nullopt;
    return stack;
}

bool save(const Stack& stack, std::string& error) {
    std::string bytes = text(stack);
    return DeviceFile::write(path, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                             error);
}

std::optional<Stack> load() {
    std::vector<uint8_t> bytes;
    std::string error;
    // Never waits on what is planted there (a fifo), never reads past a stack's size.
    if (DeviceFile::read(path, (maxDepth + 2) * (maxLabel + 8), bytes, error) != AtomicFile::ReadStatus::Read)
        return std::nullopt;
    return parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace SettingsPages
