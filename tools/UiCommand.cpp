// zorvi ui PROCESS ...: what a running process of a booted device shows, and a finger and keys on
// it: describe its screen's elements, tap a point or an element by its label or id, swipe, drag an
// icon of the lock screen, type, press a key, wait for a label or an event.

#include "hosts/common/CommandLine.h"
#include "tools/Commands.h"
#include "tools/DeviceControl.h"
#include "tools/ReplyFields.h"
#include "tools/TerminalText.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>

namespace {

struct UiWords {
    std::string root;
    std::string process;
    bool json = false;
    std::vector<double> point;
    std::vector<double> ends;
    std::vector<std::string> drag;
    std::string label;
    std::string id;
    std::string event;
    std::string text;
    std::string key;
    double duration = 300;
    double timeout = 10000;
};

std::string number(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

int describeScreen(const UiWords& words, const CLI::App& command) {
    ControlReply reply;
    int status =
        runControlLine(command, words.process, words.json ? "ui describe" : "ui describe text", reply);
    if (status != 0)
        return status;
    for (const std::string& event : reply.events) {
        if (ReplyFields::text(event, "event") != "describe")
            continue;
        if (words.json) {
            std::printf("{\"process\":%s,\"elements\":%s}\n",
                        ReplyFields::raw(event, "process").value_or("null").c_str(),
                        ReplyFields::raw(event, "elements").value_or("[]").c_str());
        } else {
            std::printf("%s:\n%s", words.process.c_str(),
                        terminalSafe(ReplyFields::text(event, "text").value_or(""), true).c_str());
        }
        return 0;
    }
    return commandFailure(command, words.process + " described nothing");
}

int run(const CLI::App& command, const std::string& process, const std::string& line) {
    ControlReply reply;
    return runControlLine(command, process, line, reply);
}

int tapOn(const UiWords& words, const CLI::App& command) {
    int given = (words.point.empty() ? 0 : 1) + (words.label.empty() ? 0 : 1) + (words.id.empty() ? 0 : 1);
    if (given != 1 || (!words.point.empty() && words.point.size() != 2))
        return CommandLine::usageError(command, "tap takes a point (X Y), --label TEXT or --id ID");
    if (!words.label.empty())
        return run(command, words.process, "ui tap-label " + words.label);
    if (!words.id.empty())
        return run(command, words.process, "ui tap-id " + words.id);
    return run(command, words.process, "ui tap " + number(words.point[0]) + " " + number(words.point[1]));
}

int waitFor(const UiWords& words, const CLI::App& command) {
    if (words.label.empty() == words.event.empty())
        return CommandLine::usageError(command, "wait takes --label TEXT or --event NAME");
    if (!words.label.empty())
        return run(command, words.process, "ui wait-label " + number(words.timeout) + " " + words.label);
    return run(command, words.process, "ui wait-event " + words.event + " " + number(words.timeout));
}

// A length of time a line may take, in milliseconds.
CLI::Validator millisecondsCheck() {
    return CLI::Validator(
        [](std::string& text) {
            char* end = nullptr;
            double value = std::strtod(text.c_str(), &end);
            return end && *end == 0 && !text.empty() && value >= 0 && value <= 3600000
                       ? std::string()
                       : "wants milliseconds from 0 to 3600000, not '" + text + "'";
        },
        "");
}

} // namespace

void addUiCommand(Commands& commands) {
    auto words = std::make_shared<UiWords>();
    CLI::App* ui =
        commands.add(commands.program(), "ui",
                     "what a running process of the booted device shows, and a finger and keys on it");
    addRootOption(*ui, words->root);
    addProcessOperand(*ui, words->process);

    CLI::App* describeVerb =
        commands.add(*ui, "describe", "prints the screen's elements: role, label, value, frame, as a tree",
                     onBootedProcess(words, describeScreen));
    describeVerb->add_flag("--json", words->json, "one JSON object: {\"process\": ..., \"elements\": [...]}");

    CLI::App* tapVerb =
        commands.add(*ui, "tap", "taps a point (screen points), or the element with a label or an id",
                     onBootedProcess(words, tapOn));
    tapVerb->add_option("--label", words->label, "the element showing this text")->type_name("TEXT");
    tapVerb->add_option("--id", words->id, "the element with this id (from describe)")->type_name("ID");
    tapVerb->add_option("X Y", words->point, "a point in screen points")->expected(0, 2);
    CommandLine::setOperands(*tapVerb, "[X Y]");

    CLI::App* swipeVerb =
        commands.add(*ui, "swipe", "a finger down at one point, moving to the other, and up",
                     onBootedProcess(words, [](const UiWords& w, const CLI::App& command) {
                         std::string line = "ui swipe";
                         for (double value : w.ends)
                             line += " " + number(value);
                         return run(command, w.process, line + " " + number(w.duration));
                     }));
    swipeVerb->add_option("--duration", words->duration, "how long the finger moves (default 300)")
        ->check(millisecondsCheck())
        ->type_name("MS");
    swipeVerb->add_option("X1 Y1 X2 Y2", words->ends, "from and to, in screen points")
        ->expected(4)
        ->required();
    CommandLine::setOperands(*swipeVerb, "X1 Y1 X2 Y2");

    CLI::App* dragVerb = commands.add(
        *ui, "drag", "drags the lock screen's app icon B by DX, DY points over STEPS refreshes (default 10)",
        onBootedProcess(words, [](const UiWords& w, const CLI::App& command) {
            if (w.process != "springboard")
                return CommandLine::usageError(command,
                                               "drag moves the lock screen's icons: use it on springboard");
            std::string line = "drag";
            for (const std::string& word : w.drag)
                line += " " + word;
            return run(command, w.process, line);
        }));
    dragVerb->add_option("B DX DY [STEPS]", words->drag, "the icon (1 to 4), the move, the refreshes")
        ->expected(3, 4)
        ->required();
    CommandLine::setOperands(*dragVerb, "B DX DY [STEPS]");

    CLI::App* textVerb = commands.add(*ui, "text", "types the text, a key a character",
                                      onBootedProcess(words, [](const UiWords& w, const CLI::App& command) {
                                          return run(command, w.process, "ui text " + w.text);
                                      }));
    textVerb->add_option("TEXT", words->text, "what to type")->required();

    CLI::App* keyVerb =
        commands.add(*ui, "key", "presses a key: return, escape, backspace, space, tab or a letter",
                     onBootedProcess(words, [](const UiWords& w, const CLI::App& command) {
                         return run(command, w.process, "ui key " + w.key);
                     }));
    keyVerb->add_option("NAME", words->key, "the key")->required();

    CLI::App* waitVerb =
        commands.add(*ui, "wait", "waits until an element shows a label, or the process writes an event",
                     onBootedProcess(words, waitFor));
    waitVerb->add_option("--label", words->label, "the text to wait for")->type_name("TEXT");
    waitVerb->add_option("--event", words->event, "the trace event to wait for")->type_name("NAME");
    waitVerb->add_option("--timeout", words->timeout, "at most this long (default 10000)")
        ->check(millisecondsCheck())
        ->type_name("MS");
}
