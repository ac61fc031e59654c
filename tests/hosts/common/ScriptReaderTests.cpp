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

TEST(SignalNames, NamesNumbersAndNonsense) {
    EXPECT_EQ(signalNamed("TERM"), SIGTERM);
    EXPECT_EQ(signalNamed("SIGKILL"), SIGKILL);
    EXPECT_EQ(signalNamed("9"), 9);
    for (const char* bad : {"", "SIG", "TERMS", "0", "65", "-1", "9x"})
        EXPECT_EQ(signalNamed(bad), 0) << bad;
}
