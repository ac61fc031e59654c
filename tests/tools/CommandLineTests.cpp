#include "hosts/common/CommandLine.h"
#include "tests/support/RunCommand.h"
#include "tools/Commands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>

namespace {

// The program's command line as zorvi defines it, fresh for each parse.
struct Program {
    CLI::App app{"", "zorvi"};
    Commands commands{app};
    Program() {
        CommandLine::style(app);
        addAllCommands(commands);
    }
};

struct Parsed {
    int status;
    std::string out, err;
};

Parsed parse(const std::vector<std::string>& words) {
    Program program;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = CommandLine::parse(program.app, words);
    std::fflush(stdout);
    std::fflush(stderr);
    std::string out = testing::internal::GetCapturedStdout();
    return {status, out, testing::internal::GetCapturedStderr()};
}

std::vector<std::string> synopsis() {
    Program program;
    return CommandLine::synopsis(program.app);
}

// A roff line as a terminal shows it: font changes dropped, "\\-" a plain dash.
std::string withoutMarkup(const std::string& line) {
    std::string text;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 2 < line.size() && line[i + 1] == 'f') {
            i += 2; // \fB, \fR, \fI, \fP
            continue;
        }
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '-') {
            text += '-';
            ++i;
            continue;
        }
        text += line[i];
    }
    return text;
}

// The manual's command lines: the line after each .TP of its COMMANDS section, as a terminal shows it.
std::vector<std::string> manualCommandLines() {
    std::ifstream manual(std::string(ZV_SOURCE_DIR_TEXT) + "/docs/zorvi.1");
    std::vector<std::string> lines;
    std::string line;
    bool inCommands = false, afterTP = false;
    while (std::getline(manual, line)) {
        if (line.rfind(".SH", 0) == 0)
            inCommands = line == ".SH COMMANDS";
        if (!inCommands)
            continue;
        if (afterTP) {
            line = withoutMarkup(line);
            lines.push_back(line);
        }
        afterTP = line == ".TP";
    }
    return lines;
}

} // namespace

TEST(CommandLine, TheManualPageShowsEveryUsageLineAndNoOther) {
    std::vector<std::string> lines = synopsis();
    std::vector<std::string> manual = manualCommandLines();
    ASSERT_GE(lines.size(), 15u);
    EXPECT_EQ(std::set<std::string>(manual.begin(), manual.end()),
              std::set<std::string>(lines.begin(), lines.end()))
        << "docs/zorvi.1's COMMANDS must list exactly what `zorvi --help` prints";
    // Every command can be asked for its help, and its usage is its own lines.
    for (const std::string& line : lines) {
        std::vector<std::string> words;
        for (size_t start = 6, end; start < line.size(); start = end + 1) {
            end = line.find(' ', start);
            std::string word = line.substr(start, end - start);
            // A command's own word before its verbs ("ui PROCESS describe") is given as it stands.
            bool operand = !word.empty() && std::isupper(static_cast<unsigned char>(word[0])) &&
                           end != std::string::npos &&
                           std::islower(static_cast<unsigned char>(line[end + 1]));
            if (!operand && (word.empty() || !std::islower(static_cast<unsigned char>(word[0]))))
                break;
            words.push_back(word);
            if (end == std::string::npos)
                break;
        }
        words.push_back("--help");
        Parsed help = parse(words);
        EXPECT_EQ(help.status, 0) << line;
        EXPECT_NE(help.out.find("usage: " + line + "\n"), std::string::npos) << help.out;
    }
}

TEST(CommandLine, MistakesAreUsageErrorsThatSayWhatWasMeant) {
    struct Case {
        std::vector<std::string> words;
        std::string says;
    };
    for (const Case& c : {
             Case{{"devcie", "list"}, "unknown command 'devcie' (did you mean device?)"},
             Case{{"device", "craete"}, "unknown command 'craete' (did you mean create?)"},
             Case{{"device", "create", "--roo", "/x"}, "unknown option --roo (did you mean --root?)"},
             Case{{"log", "--fol"}, "unknown option --fol (did you mean --follow?)"},
             Case{{"device", "create", "--root", "/x", "help"}, "unexpected argument 'help'"},
             Case{{"device", "create", "--system", "5.1"}, "not a system version: 5.1"},
             Case{{"device", "create", "--screen=big"}, "not a screen: big"},
             Case{{"waves", "--frames", "0"}, "--frames"},
             Case{{"waves", "--frames", "many"}, "--frames"},
             Case{{"record", "only-a-script"}, "OUT is required"},
             Case{{"springboard", "--date", "2026-02-30 10:00"}, "YYYY-MM-DD HH:MM"},
             Case{{"springboard", "--root", ""}, "wants a folder"},
             Case{{"settings", "--record", "clip.avi"}, "must end in"},
             Case{{"boot", "--record", "both.mp4"}, "press R in its window"},
             Case{{"boot", "--record", "both.mp4"}, "record start"},
         }) {
        Parsed parsed = parse(c.words);
        EXPECT_EQ(parsed.status, 2) << c.words[0] << " " << c.words[1];
        EXPECT_NE(parsed.err.find(c.says), std::string::npos) << parsed.err;
        EXPECT_NE(parsed.err.find("usage: zorvi "), std::string::npos) << parsed.err;
        EXPECT_TRUE(parsed.out.empty());
    }
    // A word far from every name suggests nothing rather than something arbitrary.
    EXPECT_EQ(parse({"frobnicate"}).err.find("did you mean"), std::string::npos);
}

TEST(CommandLine, OptionsTakeTheirValueEitherWayAndAnywhereAfterTheCommand) {
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"device", "create", "--root=/tmp/d", "--screen=375x812@3", "--system=12.4.1", "--force"},
             {"device", "--root", "/tmp/d", "create"},
             {"defaults", "--root", "/tmp/d", "read", "com.vantrel.zorvi"},
             {"defaults", "read", "com.vantrel.zorvi", "--root", "/tmp/d"},
             {"defaults", "write", "--root", "/tmp/d", "com.vantrel.zorvi", "line1", "-string", "-x"},
             {"defaults", "write", "com.vantrel.zorvi", "n", "-int", "-3"},
             {"springboard", "--root=/tmp/d", "--with-class", "A", "--with-class=B",
              "--date=2026-12-09 10:00"},
             {"waves", "--frames=12", "--out", "clip.gif"},
             {"help", "device", "create"},
         }) {
        Parsed parsed = parse(words);
        EXPECT_EQ(parsed.status, -1) << words[0] << " " << words[1] << ": " << parsed.err;
    }
}

// The program answers a first word that names no command before it defines any: what it prints
// must be what a parse of every definition prints, word for word.
TEST(CommandLine, AWordThatNamesNoCommandIsAnsweredAsAParseOfEveryCommandWould) {
    for (const std::string word : {"devcie", "frobnicate", "recrod"}) {
        std::string output;
        EXPECT_EQ(runCommand(std::string(ZV_ZORVI) + " " + word + " list", output), 2) << word;
        Parsed parsed = parse({word, "list"});
        EXPECT_EQ(parsed.status, 2);
        EXPECT_EQ(output, parsed.err) << word;
    }
    EXPECT_FALSE(namesNoCommand({}));
    EXPECT_FALSE(namesNoCommand({"--help"}));
    EXPECT_FALSE(namesNoCommand({"status-bar", "clear"}));
    EXPECT_TRUE(namesNoCommand({"statusbar"}));
    // Every command the program defines, and nothing else, is a name the early answer knows.
    Program program;
    std::set<std::string> defined, named;
    for (const CLI::App* command : program.app.get_subcommands([](CLI::App*) { return true; }))
        defined.insert(command->get_name());
    for (const std::string& name : commandNames())
        named.insert(name);
    EXPECT_EQ(named, defined);
}

TEST(CommandLine, NearestNameIsOnlyANearOne) {
    EXPECT_EQ(CommandLine::nearest("--scren", {"--root", "--screen", "--system"}), "--screen");
    EXPECT_EQ(CommandLine::nearest("wallpapr", {"waves", "wallpaper"}), "wallpaper");
    EXPECT_EQ(CommandLine::nearest("--sys", {"--screen", "--system"}), "--system");
    EXPECT_EQ(CommandLine::nearest("zzz", {"log", "boot"}), "");
    EXPECT_EQ(CommandLine::nearest("", {"log"}), "");
}

TEST(CommandLine, TheProgramAnswersHelpVersionAndNonsenseWithItsStatuses) {
    std::string zorvi = ZV_ZORVI, output;
    EXPECT_EQ(runCommand(zorvi + " --version", output), 0);
    EXPECT_EQ(output.rfind("zorvi ", 0), 0u) << output;
    output.clear();
    EXPECT_EQ(runCommand(zorvi, output), 2);
    EXPECT_NE(output.find("usage: zorvi device create"), std::string::npos) << output;
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " help wallpaper export", output), 0);
    EXPECT_EQ(output.rfind("usage: zorvi wallpaper export [--root DIR] OUT.png\n", 0), 0u) << output;
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " device", output), 2);
    EXPECT_NE(output.find("which one? (create, update, list, erase)"), std::string::npos) << output;
    // The device's programs read the same definitions: --root=DIR reaches the host, which looks there.
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " springboard --headless --root=/nonexistent/device", output), 1);
    EXPECT_NE(output.find("no device at /nonexistent/device"), std::string::npos) << output;
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " settings --help", output), 0);
    EXPECT_EQ(output.rfind("usage: zorvi settings [--root DIR]", 0), 0u) << output;
    // A mistyped command is looked for among all of them, though a named one builds only its own.
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " defalts read x", output), 2);
    EXPECT_NE(output.find("did you mean defaults?"), std::string::npos) << output;
    output.clear();
    EXPECT_EQ(runCommand(zorvi + " defaults raed x", output), 2);
    EXPECT_NE(output.find("did you mean read?"), std::string::npos) << output;
}

// Each command is built alone when its word is given: the words a set of definitions is chosen by
// must be exactly the commands it defines, or a command would be missing when named.
TEST(CommandLine, EachCommandIsChosenByExactlyTheWordsItDefines) {
    std::set<std::string> all;
    for (size_t family = 0; !commandFamilyNames(family).empty(); ++family) {
        CLI::App app{"", "zorvi"};
        Commands commands{app};
        addCommandFamily(commands, family);
        std::set<std::string> defined;
        for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
            defined.insert(command->get_name());
        std::vector<std::string> names = commandFamilyNames(family);
        EXPECT_EQ(defined, std::set<std::string>(names.begin(), names.end())) << family;
        all.insert(defined.begin(), defined.end());
    }
    Program program;
    std::set<std::string> everything;
    for (const CLI::App* command : program.app.get_subcommands([](const CLI::App*) { return true; }))
        everything.insert(command->get_name());
    EXPECT_EQ(all, everything);
}
