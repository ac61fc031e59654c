// How every host reads its script: words, comments, and lines that cannot be words.

#include "hosts/common/ScriptReader.h"
#include "hosts/common/SignalNames.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

namespace {

std::vector<std::vector<std::string>> read(const std::string& text) {
    std::istringstream input(text);
    ScriptReader reader(input);
    std::vector<std::vector<std::string>> lines;
    while (auto line = reader.next())
        lines.push_back(line->words);
    return lines;
}

} // namespace

TEST(ScriptReader, CommentsStartAtALineOrALoneHashButAColourIsAWord) {
    auto lines = read("# a comment\n"
                      "  tick 3   # the rest is a comment\n"
                      "settings: set line1 #00ff00\n"
                      "\n\t  \n"
                      "open Blend with wallpaper\n"
                      "#tick 9\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], (std::vector<std::string>{"tick", "3"}));
    EXPECT_EQ(lines[1], (std::vector<std::string>{"settings:", "set", "line1", "#00ff00"}));
    EXPECT_EQ(lines[2], (std::vector<std::string>{"open", "Blend", "with", "wallpaper"}));
}

TEST(ScriptReader, AnOverlongLineIsReportedAsNoWordsAndNumbersAreWholeWords) {
    auto lines = read(std::string(ScriptReader::maxLineLength + 1, 'x') + "\nstate\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].empty());
    EXPECT_EQ(lines[1], (std::vector<std::string>{"state"}));
    EXPECT_EQ(parseNumber("12.5"), 12.5);
    EXPECT_FALSE(parseNumber("12.5ms"));
    EXPECT_FALSE(parseNumber("nan"));
    EXPECT_FALSE(parseNumber("inf"));
    EXPECT_EQ(parseInteger("-3"), -3);
    EXPECT_FALSE(parseInteger("3.0"));
}

// A stream of bytes with no newline, never ending (as /dev/zero is), counting what was read.
class EndlessBytes : public std::streambuf {
public:
    explicit EndlessBytes(char byte) : m_byte(byte) {}
    size_t taken = 0;

protected:
    int_type underflow() override {
        m_buffer.assign(4096, m_byte);
        setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + m_buffer.size());
        taken += m_buffer.size();
        return traits_type::to_int_type(m_byte);
    }

private:
    char m_byte;
    std::string m_buffer;
};

TEST(ScriptReader, BinaryAndEndlessInputIsBoundedAndEnds) {
    const char text[] = "tick\0 2\nwait 5\n";
    auto lines = read(std::string(text, sizeof text - 1) + std::string(3 * ScriptReader::maxLineLength, 'y'));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].empty()) << "a NUL byte makes the line no text";
    EXPECT_EQ(lines[1], (std::vector<std::string>{"wait", "5"}));
    EXPECT_TRUE(lines[2].empty()) << "an overlong last line without a newline";
    for (char byte : {'\0', 'z'}) {
        EndlessBytes endless(byte);
        std::istream input(&endless);
        ScriptReader reader(input);
        auto line = reader.next();
        ASSERT_TRUE(line.has_value());
        EXPECT_TRUE(line->words.empty());
        EXPECT_FALSE(reader.next().has_value()) << "reading ends";
        EXPECT_LT(endless.taken, ScriptReader::maxSkippedBytes + 2 * ScriptReader::maxLineLength + 8192);
    }
}

TEST(SignalNames, NamesNumbersAndNonsense) {
    EXPECT_EQ(signalNamed("TERM"), SIGTERM);
    EXPECT_EQ(signalNamed("SIGKILL"), SIGKILL);
    EXPECT_EQ(signalNamed("9"), 9);
    for (const char* bad : {"", "SIG", "TERMS", "0", "65", "-1", "9x"})
        EXPECT_EQ(signalNamed(bad), 0) << bad;
}
