#pragma once

// Reading a host script: plain text, one command a line, words separated by blanks. A comment
// runs from a '#' that starts the line's first word, or from a '#' standing alone as a word, to the
// end of the line (so "#00ff00" as an argument is a word). The reader only splits lines into
// words; each host gives the words their meaning.

#include <istream>
#include <optional>
#include <string>
#include <vector>

struct ScriptLine {
    int number = 0; // 1-based, for error messages
    std::vector<std::string> words;
};

class ScriptReader {
public:
    explicit ScriptReader(std::istream& input) : m_input(input) {}
    // The next line that has words, or nullopt at the end. Lines longer than maxLineLength are
    // given as an empty-word line so the host can report them.
    std::optional<ScriptLine> next();

    static constexpr size_t maxLineLength = 4096;

private:
    std::istream& m_input;
    int m_number = 0;
};

// Whole-word number parsing for script arguments; nullopt for anything else (including NaN/inf).
std::optional<double> parseNumber(const std::string& word);
std::optional<long> parseInteger(const std::string& word);
