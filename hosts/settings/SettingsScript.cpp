#include "hosts/settings/SettingsScript.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/Utf8.h"
#include "platform/graphics/UIColor+Hex.h"
#include "platform/prefs/PSColorPickerController.h"
#include "platform/runloop/RunLoop.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr double longestScroll = 100000;

// The words from `first` on, joined by single spaces (labels and texts may hold blanks).
std::string rest(const std::vector<std::string>& words, size_t first) {
    std::string text;
    for (size_t i = first; i < words.size(); ++i)
        text += (i > first ? " " : "") + words[i];
    return text;
}

} // namespace

std::optional<bool> SettingsScript::runOwnLine(const ScriptLine& line) {
    const auto& w = line.words;
    const std::string& command = w[0];
    PSListController* page = m_app.topPage();
    // An action is a tap, and the first tap only dismisses an alert: a script acts past it.
    if (command == "open" || command == "toggle" || command == "set" || command == "bar-button" ||
        command == "back" || command == "scroll")
        m_app.alert().dismiss();
    if (command == "open" && w.size() >= 2) {
        std::string label = rest(w, 1);
        PSSpecifier* row = page ? page->rowLabelled(label) : nullptr;
        if (!row)
            return fail(line, "no row labelled \"" + label + "\" on this page");
        if (std::string problem = page->selectRow(row); !problem.empty())
            return fail(line, problem);
    } else if (command == "toggle" && w.size() == 2) {
        PSSpecifier* row = page ? page->rowWithKey(w[1]) : nullptr;
        if (!row || row->cellType() != PSSwitchCell)
            return fail(line, "no switch bound to " + w[1] + " on this page");
        if (std::string problem = page->selectRow(row); !problem.empty())
            return fail(line, problem);
    } else if (command == "set" && w.size() >= 3) {
        return set(line, page);
    } else if (command == "bar-button" && w.size() == 1) {
        UIBarButtonItem* item = page ? page->navigationItem()->rightBarButtonItem() : nullptr;
        if (!item)
            return fail(line, "this page has no bar button");
        Ref<UIBarButtonItem> keep(item);
        item->tap();
    } else if (command == "back" && w.size() == 1) {
        if (!m_app.navigation()->popViewController())
            return fail(line, "already on the first page");
    } else if (command == "scroll" && w.size() == 2) {
        return scroll(line, page);
    } else {
        return std::nullopt;
    }
    return true;
}

bool SettingsScript::set(const ScriptLine& line, PSListController* page) {
    const auto& w = line.words;
    PSSpecifier* row = page ? page->rowWithKey(w[1]) : nullptr;
    if (!row)
        return fail(line, "no row bound to " + w[1] + " on this page");
    std::string text = rest(w, 2);
    // Refused before anything is written: the stored value stays, and the row keeps showing it.
    if (!Utf8::isValid(text))
        return fail(line, "not UTF-8 text; nothing was stored");
    Ref<NSString> value;
    switch (row->cellType()) {
    case PSColorCell: {
        Ref<UIColor> colour = colorFromHexString(NSString::stringWithUTF8String(text));
        if (!colour || w.size() != 3)
            return fail(line, "not a colour: " + text + " (e.g. FF00FF00, #00ff00 or 0000FF:0.5)");
        value = NSString::stringWithUTF8String(PSColorPickerController::hexString(colour));
        break;
    }
    case PSAppListCell:
        // Any identifier, installed or not: a script may check what the lock screen does with an app
        // that is not there.
        if (w.size() != 3)
            return fail(line, "usage: set KEY BUNDLE-IDENTIFIER");
        value = NSString::stringWithUTF8String(text);
        break;
    case PSEditTextCell:
        value = NSString::stringWithUTF8String(text);
        break;
    default:
        return fail(line, std::string("a ") + cellTypeName(row->cellType()) + " row cannot be set");
    }
    if (!page->storeValue(row, value))
        return fail(line, "the value could not be stored");
    return true;
}

bool SettingsScript::scroll(const ScriptLine& line, PSListController* page) {
    auto distance = parseNumber(line.words[1]);
    if (!distance || std::fabs(*distance) > longestScroll)
        return fail(line, "usage: scroll DY, DY from -100000 to 100000 points");
    UIScrollView* table = page ? page->tableView() : nullptr;
    if (!table)
        return fail(line, "nothing to scroll");
    // A finger on the page: the run loop tracks, one point a refresh.
    RunLoop* loop = RunLoop::main();
    loop->setCurrentMode(UITrackingRunLoopMode);
    double left = *distance;
    while (std::fabs(left) > 0) {
        double step = std::fabs(left) >= 1 ? std::copysign(1.0, left) : left;
        table->scrollBy(step);
        left -= step;
        m_app.tick(1);
    }
    loop->setCurrentMode(NSDefaultRunLoopMode);
    return true;
}
