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
    // The next line that has words, or nullopt at the end. A line longer than maxLineLength, or one
    // holding a NUL byte, is given as an empty-word line so the host can report it; the reader skips
    // to the next newline without keeping what it skips. Past maxSkippedBytes without a newline the
    // input is no script (such as /dev/zero): that line is reported and reading ends.
    std::optional<ScriptLine> next();

    static constexpr size_t maxLineLength = 4096;
    static constexpr size_t maxSkippedBytes = 1 << 20;

private:
    enum class Read { Line, TooLong, End };
    // Reads one line into text (without its newline), never holding more than maxLineLength bytes.
    Read readLine(std::string& text);

    std::istream& m_input;
    int m_number = 0;
    bool m_ended = false;
};

// Whole-word number parsing for script arguments; nullopt for anything else (including NaN/inf).
std::optional<double> parseNumber(const std::string& word);
std::optional<long> parseInteger(const std::string& word);
