#include "hosts/common/UiCommands.h"
#include "hosts/common/EditDistance.h"
#include "hosts/common/ScreenDescription.h"
#include "platform/runloop/RunLoop.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

constexpr double longestMilliseconds = 3600 * 1000.0;
constexpr double defaultSwipeMilliseconds = 300;
constexpr size_t closestShown = 3;

std::string rest(const std::vector<std::string>& words, size_t first) {
    std::string text;
    for (size_t i = first; i < words.size(); ++i)
        text += (i > first ? " " : "") + words[i];
    return text;
}

std::optional<double> milliseconds(const std::string& word) {
    auto value = parseNumber(word);
    if (!value || *value < 0 || *value > longestMilliseconds)
        return std::nullopt;
    return value;
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

CGPoint middle(const ScreenElement& element) {
    return CGPointMake(CGRectGetMidX(element.frame), CGRectGetMidY(element.frame));
}

// Whether `inner` lies inside `outer` in the tree.
bool within(const ScreenElement& inner, const ScreenElement& outer) {
    return inner.id.size() > outer.id.size() && inner.id.compare(0, outer.id.size() + 1, outer.id + ".") == 0;
}

// The text with each run of blanks as one space and none at either end. A line's words reach a
// command joined by single spaces, so a label shown with two blanks ("Safari  ✓") is matched this way.
std::string collapsedBlanks(const std::string& text) {
    std::string collapsed;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t') {
            blank = !collapsed.empty();
            continue;
        }
        if (blank)
            collapsed += ' ';
        blank = false;
        collapsed += c;
    }
    return collapsed;
}

// The elements a finger can reach that show the label; one inside another (a row and its title)
// is the same thing to a person, so only the outermost counts.
std::vector<const ScreenElement*> labelled(const std::vector<const ScreenElement*>& all,
                                           const std::string& label) {
    std::vector<const ScreenElement*> found;
    std::string wanted = collapsedBlanks(label);
    for (const ScreenElement* element : all)
        if (element->visible && collapsedBlanks(element->label) == wanted &&
            std::none_of(found.begin(), found.end(),
                         [&](const ScreenElement* f) { return within(*element, *f); }))
            found.push_back(element);
    return found;
}

// The labels on screen nearest to one that matched nothing, for the message.
std::string closestLabels(const std::vector<const ScreenElement*>& all, const std::string& label) {
    std::vector<std::pair<size_t, std::string>> ranked;
    std::string wanted = lower(label);
    for (const ScreenElement* element : all) {
        if (!element->visible || element->label.empty())
            continue;
        std::string text = lower(element->label);
        size_t distance = text.find(wanted) != std::string::npos || wanted.find(text) != std::string::npos
                              ? 0
                              : editDistance(wanted, text);
        if (std::none_of(ranked.begin(), ranked.end(),
                         [&](const auto& r) { return r.second == element->label; }))
            ranked.emplace_back(distance, element->label);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string names;
    for (size_t i = 0; i < ranked.size() && i < closestShown; ++i)
        names += (i ? ", \"" : "\"") + ranked[i].second + "\"";
    return names.empty() ? "no labels are on screen" : "the closest on screen: " + names;
}

} // namespace

std::optional<bool> UiCommands::run(const ScriptLine& line, std::string& error) {
    const auto& w = line.words;
    if (w.empty() || w[0] != "ui")
        return std::nullopt;
    std::string verb = w.size() > 1 ? w[1] : "";
    size_t count = w.size();
    if (verb == "describe" && (count == 2 || (count == 3 && w[2] == "text")))
        return describe(w, error);
    if (verb == "tap" && count == 4) {
        auto x = parseNumber(w[2]), y = parseNumber(w[3]);
        if (!x || !y) {
            error = "usage: ui tap X Y (screen points)";
            return false;
        }
        tap(CGPointMake(*x, *y));
        return true;
    }
    if (verb == "tap-label" && count >= 3)
        return tapLabel(rest(w, 2), error);
    if (verb == "tap-id" && count == 3)
        return tapId(w[2], error);
    if (verb == "swipe" && (count == 6 || count == 7)) {
        auto x1 = parseNumber(w[2]), y1 = parseNumber(w[3]), x2 = parseNumber(w[4]), y2 = parseNumber(w[5]);
        auto ms = count == 7 ? milliseconds(w[6]) : std::optional<double>(defaultSwipeMilliseconds);
        if (!x1 || !y1 || !x2 || !y2 || !ms) {
            error = "usage: ui swipe X1 Y1 X2 Y2 [MS], MS from 0 to 3600000";
            return false;
        }
        return swipe(CGPointMake(*x1, *y1), CGPointMake(*x2, *y2), *ms);
    }
    if (verb == "text" && count >= 3) {
        for (char c : rest(w, 2)) {
            int code =
                std::isalpha(static_cast<unsigned char>(c)) ? std::tolower(static_cast<unsigned char>(c)) : c;
            m_input.key(code, c);
        }
        return true;
    }
    if (verb == "key" && count == 3)
        return key(w[2], error);
    if (verb == "wait-label" && count >= 4) {
        auto ms = milliseconds(w[2]);
        if (!ms) {
            error = "usage: ui wait-label MS TEXT";
            return false;
        }
        return waitLabel(*ms, rest(w, 3), error);
    }
    if (verb == "wait-event" && count == 4) {
        auto ms = milliseconds(w[3]);
        if (!ms) {
            error = "usage: ui wait-event NAME MS";
            return false;
        }
        return waitEvent(w[2], *ms, error);
    }
    error = "usage: ui describe [text] | tap X Y | tap-label TEXT | tap-id ID | swipe X1 Y1 X2 Y2 [MS] | "
            "text TEXT | key NAME | wait-label MS TEXT | wait-event NAME MS";
    return false;
}

bool UiCommands::describe(const std::vector<std::string>& w, std::string&) {
    std::vector<ScreenElement> elements = describeScreen(m_host);
    Json::Object fields;
    fields.add("process", Json::string(m_process));
    if (w.size() == 3)
        fields.add("text", Json::string(elementsText(elements)));
    else
        fields.add("elements", elementsJson(elements));
    m_trace.write("describe", fields);
    return true;
}

void UiCommands::tap(CGPoint point) {
    m_input.pointerDown(point);
    m_input.pointerUp(point);
}

bool UiCommands::tapLabel(const std::string& label, std::string& error) {
    std::vector<ScreenElement> elements = describeScreen(m_host);
    std::vector<const ScreenElement*> all = flatten(elements);
    std::vector<const ScreenElement*> found = labelled(all, label);
    if (found.empty()) {
        error = "nothing labelled \"" + label + "\" on screen; " + closestLabels(all, label);
        return false;
    }
    if (found.size() > 1) {
        std::string ids;
        for (const ScreenElement* element : found)
            ids += (ids.empty() ? "" : ", ") + element->id;
        error = std::to_string(found.size()) + " elements are labelled \"" + label + "\" (ids " + ids +
                "); tap one by its id";
        return false;
    }
    tap(middle(*found.front()));
    return true;
}

bool UiCommands::tapId(const std::string& id, std::string& error) {
    std::vector<ScreenElement> elements = describeScreen(m_host);
    for (const ScreenElement* element : flatten(elements)) {
        if (element->id != id)
            continue;
        if (!element->visible) {
            error = "element " + id + " is not on screen (hidden or outside it)";
            return false;
        }
        tap(middle(*element));
        return true;
    }
    error = "no element " + id + " on screen";
    return false;
}

bool UiCommands::swipe(CGPoint from, CGPoint to, double milliseconds) {
    int steps =
        std::max(1, static_cast<int>(std::lround(milliseconds * RunLoop::main()->refreshRate() / 1000)));
    m_input.pointerDown(from);
    for (int i = 1; i <= steps; ++i) {
        double f = static_cast<double>(i) / steps;
        m_input.pointerMoved(CGPointMake(from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f));
        m_host.tick(1);
    }
    m_input.pointerUp(to);
    return true;
}

bool UiCommands::key(const std::string& name, std::string& error) {
    static const std::vector<std::pair<std::string, std::pair<int, char>>> named{{"return", {'\r', '\r'}},
                                                                                 {"escape", {27, 0}},
                                                                                 {"backspace", {'\b', '\b'}},
                                                                                 {"space", {' ', ' '}},
                                                                                 {"tab", {'\t', '\t'}}};
    for (const auto& [word, key] : named)
        if (name == word) {
            m_input.key(key.first, key.second);
            return true;
        }
    if (name.size() == 1 && std::isprint(static_cast<unsigned char>(name[0]))) {
        char c = name[0];
        m_input.key(std::tolower(static_cast<unsigned char>(c)), c);
        return true;
    }
    error = "not a key: " + name + " (return, escape, backspace, space, tab or one character)";
    return false;
}

bool UiCommands::waitLabel(double milliseconds, const std::string& label, std::string& error) {
    auto shown = [&] {
        std::vector<ScreenElement> elements = describeScreen(m_host);
        return !labelled(flatten(elements), label).empty();
    };
    if (RunLoop::main()->runUntil(shown, milliseconds))
        return true;
    std::vector<ScreenElement> elements = describeScreen(m_host);
    error = "nothing labelled \"" + label + "\" came on screen within " +
            std::to_string(std::lround(milliseconds)) + " ms; " + closestLabels(flatten(elements), label);
    return false;
}

bool UiCommands::waitEvent(const std::string& event, double milliseconds, std::string& error) {
    size_t before = m_events.size();
    auto came = [&] {
        return std::find(m_events.begin() + static_cast<long>(before), m_events.end(), event) !=
               m_events.end();
    };
    if (RunLoop::main()->runUntil(came, milliseconds))
        return true;
    error = m_process + " wrote no " + event + " event within " + std::to_string(std::lround(milliseconds)) +
            " ms";
    return false;
}
