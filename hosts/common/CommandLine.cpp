#include "hosts/common/CommandLine.h"
#include "hosts/common/EditDistance.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>

namespace CommandLine {

namespace {

// Options and commands with an empty group are kept out of help and usage lines.
bool shown(const CLI::Option& option) {
    return !option.get_group().empty();
}
bool shown(const CLI::App& app) {
    return !app.get_group().empty();
}

std::vector<const CLI::App*> commandsOf(const CLI::App& app) {
    return app.get_subcommands([](const CLI::App* sub) { return shown(*sub); });
}

// How an option shows in a usage line: "[--root DIR]", "[--force]", "[--with-class NAME]...", "SCRIPT".
std::string usageWord(const CLI::Option& option) {
    std::string word;
    if (option.get_positional()) {
        word = option.get_name(true);
    } else {
        word = option.get_lnames().empty() ? "-" + option.get_snames().front()
                                           : "--" + option.get_lnames().front();
        if (option.get_type_size_max() > 0 && !option.get_type_name().empty())
            word += " " + option.get_type_name();
    }
    bool repeated = option.get_expected_max() > 1;
    if (!option.get_required())
        word = "[" + word + "]";
    return repeated ? word + "..." : word;
}

std::string optionWords(const CLI::App& app, bool positional) {
    std::string words;
    for (const CLI::Option* option : app.get_options()) {
        if (!shown(*option) || option == app.get_help_ptr() || option->get_positional() != positional)
            continue;
        words += " " + usageWord(*option);
    }
    return words;
}

std::string nameAbove(const CLI::App& app) {
    return app.get_parent() ? fullName(*app.get_parent()) : "";
}

class Style : public CLI::Formatter {
public:
    std::map<const CLI::App*, std::string> operands;

    // The options a command takes: its own, then those it takes from the commands above it.
    std::string options(const CLI::App& app) const {
        std::string lines;
        for (const CLI::App* level = &app; level; level = level->get_parent()) {
            if (level != &app && !level->get_parent())
                break; // the program's own options are not its commands'
            for (const CLI::Option* option : level->get_options())
                if (!option->get_positional() && shown(*option) &&
                    (level == &app || option != level->get_help_ptr()))
                    lines += make_option(option, false);
            if (!level->get_fallthrough())
                break;
        }
        return lines.empty() ? "" : "\nOptions:\n" + lines;
    }

    std::string make_usage(const CLI::App* app, std::string) const override {
        std::string out;
        bool first = true;
        for (const std::string& line : synopsis(*app)) {
            out += (first ? "usage: " : "       ") + line + "\n";
            first = false;
        }
        return out;
    }

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        if (mode == CLI::AppFormatMode::Sub)
            return make_expanded(app);
        std::ostringstream out;
        out << make_usage(app, name);
        if (!app->get_description().empty())
            out << "\n" << app->get_description() << "\n";
        out << make_positionals(app) << options(*app) << make_subcommands(app, mode);
        std::string footer = make_footer(app);
        if (!footer.empty())
            out << "\n" << footer;
        return out.str();
    }
};

const Style* styleOf(const CLI::App& app) {
    return dynamic_cast<const Style*>(app.get_formatter().get());
}

// inherited: the options of the commands above that their subcommands take too.
void collect(const CLI::App& app, const std::string& path, const std::string& inherited,
             std::vector<std::string>& lines) {
    std::string name = path.empty() ? app.get_name() : path + " " + app.get_name();
    // A program's own options (--version) belong to it alone when it has commands.
    std::string options = inherited;
    auto commands = commandsOf(app);
    // The words a command with verbs takes stand before its verbs ("zorvi ui PROCESS describe").
    if (!commands.empty() && app.get_parent())
        name += optionWords(app, true);
    if (!(commands.empty() == false && app.get_parent() == nullptr))
        options += optionWords(app, false);
    if (!commands.empty()) {
        for (const CLI::App* command : commands)
            collect(*command, name, command->get_fallthrough() ? options : "", lines);
        return;
    }
    std::string operands = optionWords(app, true);
    if (const Style* style = styleOf(app))
        if (auto text = style->operands.find(&app); text != style->operands.end())
            operands = " " + text->second;
    lines.push_back(name + options + operands);
}

// The option names a command takes: its own and, through fallthrough, those of the commands above.
std::vector<std::string> optionNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* level = &app; level; level = level->get_parent()) {
        for (const CLI::Option* option : level->get_options())
            if (!option->get_positional() && shown(*option))
                for (const std::string& name : option->get_lnames())
                    names.push_back("--" + name);
        if (!level->get_fallthrough())
            break;
    }
    return names;
}

std::string didYouMean(const std::string& word, const std::vector<std::string>& candidates) {
    std::string near = nearest(word, candidates);
    return near.empty() ? "" : " (did you mean " + near + "?)";
}

std::string unknownCommandMessage(const std::string& word, const std::vector<std::string>& names) {
    return "unknown command '" + word + "'" + didYouMean(word, names);
}

// A program with commands shows this one usage line: every command's would bury the message.
std::string commandsUsage(const std::string& program) {
    return "usage: " + program + " COMMAND [ARGS...]\n";
}

int printUsageError(const std::string& name, const std::string& message, const std::string& lines) {
    std::fprintf(stderr, "%s: %s\n%s(%s --help for more)\n", name.c_str(), message.c_str(), lines.c_str(),
                 name.c_str());
    return 2;
}

// The first word nobody took, with what was probably meant.
std::string unexpected(CLI::App& top) {
    std::vector<std::string> extras = top.remaining(true);
    CLI::App& leaf = chosen(top);
    std::string word = extras.empty() ? "" : extras.front();
    if (word.size() > 1 && word[0] == '-') {
        std::string name = word.substr(0, word.find('='));
        return "unknown option " + name + didYouMean(name, optionNames(leaf));
    }
    auto commands = commandsOf(leaf);
    if (!commands.empty()) {
        std::vector<std::string> names;
        for (const CLI::App* command : commands)
            names.push_back(command->get_name());
        return unknownCommandMessage(word, names);
    }
    return "unexpected argument '" + word + "'";
}

} // namespace

void style(CLI::App& app) {
    app.formatter(std::make_shared<Style>());
    app.get_formatter()->column_width(24);
    app.set_help_flag("-h,--help", "prints this help");
}

void setOperands(CLI::App& app, std::string text) {
    auto* style = dynamic_cast<Style*>(app.get_formatter().get());
    if (style)
        style->operands[&app] = std::move(text);
}

std::string fullName(const CLI::App& app) {
    std::string above = nameAbove(app);
    return above.empty() ? app.get_name() : above + " " + app.get_name();
}

std::vector<std::string> synopsis(const CLI::App& app) {
    std::vector<std::string> lines;
    std::string inherited;
    // A command's line carries the options it takes from the commands above it.
    for (const CLI::App* level = &app;
         level->get_fallthrough() && level->get_parent() && level->get_parent()->get_parent();
         level = level->get_parent())
        inherited = optionWords(*level->get_parent(), false) + inherited;
    // The words of the commands above stand before the verbs they lead to.
    std::string above;
    for (const CLI::App* level = app.get_parent(); level; level = level->get_parent())
        above = level->get_name() + (level->get_parent() ? optionWords(*level, true) : "") +
                (above.empty() ? "" : " " + above);
    collect(app, above, inherited, lines);
    return lines;
}

std::string help(const CLI::App& app) {
    return app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
}

CLI::App& chosen(CLI::App& app) {
    CLI::App* leaf = &app;
    while (!leaf->get_subcommands().empty())
        leaf = leaf->get_subcommands().front();
    return *leaf;
}

int usageError(const CLI::App& app, const std::string& message) {
    std::string lines;
    if (!app.get_parent() && !commandsOf(app).empty())
        lines = commandsUsage(app.get_name());
    for (const std::string& line : lines.empty() ? synopsis(app) : std::vector<std::string>())
        lines += (lines.empty() ? "usage: " : "       ") + line + "\n";
    return printUsageError(fullName(app), message, lines);
}

int unknownCommand(const std::string& program, const std::string& word,
                   const std::vector<std::string>& names) {
    return printUsageError(program, unknownCommandMessage(word, names), commandsUsage(program));
}

int parse(CLI::App& app, const std::vector<std::string>& words) {
    // CLI11 takes the words last first.
    std::vector<std::string> reversed(words.rbegin(), words.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        std::fputs(help(chosen(app)).c_str(), stdout);
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        std::fputs(help(chosen(app)).c_str(), stdout);
        return 0;
    } catch (const CLI::ExtrasError&) {
        return usageError(chosen(app), unexpected(app));
    } catch (const CLI::ParseError& error) {
        // A check that names no option says only what is wrong.
        std::string message = error.what();
        if (message.rfind(": ", 0) == 0)
            message.erase(0, 2);
        return usageError(chosen(app), message);
    }
    return -1;
}

std::string nearest(const std::string& word, const std::vector<std::string>& candidates) {
    std::string best;
    size_t bestDistance = std::max<size_t>(2, word.size() / 3) + 1;
    for (const std::string& candidate : candidates) {
        // A word that starts a longer name ("--fol" for "--follow") is meant as that name.
        size_t d =
            candidate.size() > word.size() && word.size() >= 3 && candidate.compare(0, word.size(), word) == 0
                ? 1
                : editDistance(word, candidate);
        if (d < bestDistance) {
            best = candidate;
            bestDistance = d;
        }
    }
    return best;
}

} // namespace CommandLine
