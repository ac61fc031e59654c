// Settings' kept page stack: what it writes reads back, and anything else in the device's file
// (which people copy and share) reads as no stack, without a hang.

#include "hosts/settings/SettingsPages.h"
#include "tests/support/TempDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

using SettingsPages::Stack;

TEST(SettingsPages, AStackReadsBackAsItWasWritten) {
    for (const Stack& stack : {Stack{}, Stack{"Zorvi", {}}, Stack{"Zorvi", {"Colours", "Line 1"}},
                               Stack{"Réglages ✓", {std::string(SettingsPages::maxLabel, 'x')}}}) {
        auto read = SettingsPages::parse(SettingsPages::text(stack));
        ASSERT_TRUE(read) << SettingsPages::text(stack);
        EXPECT_EQ(*read, stack);
    }
    TempDevice device;
    std::string error;
    Stack stack{"Zorvi", {"Colours"}};
    ASSERT_TRUE(SettingsPages::save(stack, error)) << error;
    EXPECT_EQ(SettingsPages::load(), stack);
}

TEST(SettingsPages, AnythingElseReadsAsNone) {
    const std::string header = "zorvi-settings-pages 1\n";
    std::vector<std::string> hostile{
        "",
        "zorvi-settings-pages 2\n",
        "zorvi-settings-pages 1",                // cut short
        header + "entry\tZorvi",                 // no end to its line
        header + "link\tColours\n",              // a link before any entry
        header + "entry\tZorvi\nentry\tOther\n", // two entries
        header + "entry\tZorvi\nlink\t\n",       // an empty label
        header + "entry Zorvi\n",                // no tab
        header + "entry\t\x1b]0;title\x07\n",    // a terminal escape
        header + "entry\tZor\nvi\n",             // a line without a kind
        header + "entry\t\xff\xfe\n",            // not UTF-8
        header + "entry\t" + std::string(SettingsPages::maxLabel + 1, 'x') + "\n",
        header + "entry\tZorvi\nwhat\tColours\n",
        std::string("zorvi-settings-pages 1\n\0entry\tZorvi\n", 36),
    };
    std::string deep = header + "entry\tZorvi\n";
    for (size_t i = 0; i <= SettingsPages::maxDepth; ++i)
        deep += "link\tL\n";
    hostile.push_back(deep);
    for (const std::string& text : hostile)
        EXPECT_FALSE(SettingsPages::parse(text)) << text;
}

TEST(SettingsPages, AFileThatIsNoStackLoadsAsNone) {
    TempDevice device;
    std::filesystem::create_directories(device.host("/var/run"));
    EXPECT_FALSE(SettingsPages::load()); // none yet
    std::ofstream(device.host(SettingsPages::path)) << "garbage\n";
    EXPECT_FALSE(SettingsPages::load());
    std::filesystem::remove(device.host(SettingsPages::path));
    // A fifo planted there is never waited on; a folder is no file.
    ASSERT_EQ(::mkfifo(device.host(SettingsPages::path).c_str(), 0600), 0);
    EXPECT_FALSE(SettingsPages::load());
    std::filesystem::remove(device.host(SettingsPages::path));
    std::filesystem::create_directory(device.host(SettingsPages::path));
    EXPECT_FALSE(SettingsPages::load());
    // A huge file is not read whole.
    std::filesystem::remove(device.host(SettingsPages::path));
    std::ofstream(device.host(SettingsPages::path)) << "zorvi-settings-pages 1\n"
                                                    << std::string(1 << 20, 'x');
    EXPECT_FALSE(SettingsPages::load());
}

} // namespace
