#include "hosts/common/ScriptReader.h"

#include <charconv>
#include <cmath>
#include <sstream>

std::optional<ScriptLine> ScriptReader::next() {
    std::string text;
    while (std::getline(m_input, text)) {
        ++m_number;
        ScriptLine line;
        line.number = m_number;
        if (text.size() > maxLineLength)
            return line;
        if (auto hash = text.find('#'); hash != std::string::npos)
            text.erase(hash);
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
