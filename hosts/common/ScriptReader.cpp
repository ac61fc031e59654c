#include "hosts/common/ScriptReader.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace {

// A comment starts at a '#' that begins the line's first word or stands alone as a word ("# ...");
// a '#' inside a word is part of it, as in the colour "#00ff00".
size_t commentStart(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first != std::string::npos && text[first] == '#')
        return first;
    for (size_t i = 1; i < text.size(); ++i) {
        bool blankBefore = text[i - 1] == ' ' || text[i - 1] == '\t';
        bool blankAfter =
            i + 1 == text.size() || text[i + 1] == ' ' || text[i + 1] == '\t' || text[i + 1] == '\r';
        if (text[i] == '#' && blankBefore && blankAfter)
            return i;
    }
    return std::string::npos;
}

} // namespace

ScriptReader::Read ScriptReader::readLine(std::string& text) {
    text.clear();
    std::streambuf* input = m_input.rdbuf();
    if (!input)
        return Read::End;
    bool tooLong = false;
    size_t skipped = 0;
    for (;;) {
        int c = input->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            m_ended = true;
            if (text.empty() && !tooLong && skipped == 0)
                return Read::End;
            return tooLong ? Read::TooLong : Read::Line;
        }
        if (c == '\n')
            return tooLong ? Read::TooLong : Read::Line;
        if (tooLong) {
            if (++skipped > maxSkippedBytes) {
                m_ended = true;
                return Read::TooLong;
            }
            continue;
        }
        if (c == 0 || text.size() == maxLineLength) {
            tooLong = true;
            text.clear();
            continue;
        }
        text.push_back(static_cast<char>(c));
    }
}

std::optional<ScriptLine> ScriptReader::next() {
    std::string text;
    while (!m_ended) {
        Read read = readLine(text);
        if (read == Read::End)
            break;
        ++m_number;
        ScriptLine line;
        line.number = m_number;
        if (read == Read::TooLong)
            return line;
        if (size_t comment = commentStart(text); comment != std::string::npos)
            text.erase(comment);
        std::istringstream words(text);
        std::string word;
        while (words >> word)
            line.words.push_back(word);
        if (!line.words.empty())
            return line;
    }
    return std::nullopt;
}

std::optional<double> parseNumber(const std::string& word) {
    double value = 0;
    const char* begin = word.data();
    if (!word.empty() && word[0] == '+')
        ++begin;
    auto [end, error] = std::from_chars(begin, word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || word.empty() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<long> parseInteger(const std::string& word) {
    long value = 0;
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || word.empty())
        return std::nullopt;
    return value;
}
