#include "hosts/springboard/ScriptRunner.h"
#include "platform/substrate/Loader.h"

namespace {

// Bounds that keep a script from asking for millions of steps.
constexpr long maxDragSteps = 10000;

std::optional<int> buttonNumber(const std::string& word) {
    auto value = parseInteger(word);
    if (!value || *value < 1 || *value > 4)
        return std::nullopt;
    return static_cast<int>(*value);
}

// What the loaded libraries installed as they started, in their order.
Json installedJson() {
    std::vector<Json> items;
    for (const Substrate::Installation& change : Substrate::installations())
        items.push_back(Json::Object()
                            .add("library", Json::string(change.library))
                            .add("class", Json::string(change.className))
                            .add("selector", Json::string(change.selector))
                            .add("classMethod", Json::boolean(change.classMethod))
                            .add("how", Json::string(change.replaced ? "replaced" : "added"))
                            .done());
    return Json::array(items);
}

} // namespace

std::optional<bool> ScriptRunner::runOwnLine(const ScriptLine& line) {
    const auto& w = line.words;
    const std::string& command = w[0];
    size_t count = w.size();
    std::string error;

    if (command == "appear" && count == 1) {
        m_host.appear();
    } else if (command == "hint" && count == 1) {
        m_host.showNewHint();
    } else if (command == "quick-actions" && count == 1) {
        m_host.layoutQuickActions();
    } else if (command == "lock" && count == 1) {
        m_host.lock();
    } else if (command == "respring" && count == 1) {
        m_host.respring();
    } else if (command == "authenticate" && count == 2 && (w[1] == "yes" || w[1] == "no")) {
        m_host.authenticate(w[1] == "yes");
    } else if (command == "pan" && count >= 3) {
        auto button = buttonNumber(w[1]);
        if (!button)
            return fail(line, "no button " + w[1] + " (1 to 4)");
        if (w[2] == "move" && count == 5) {
            auto dx = parseNumber(w[3]), dy = parseNumber(w[4]);
            if (!dx || !dy)
                return fail(line, "pan move needs two numbers");
            if (!m_host.pan(*button, PanPhase::Move, {*dx, *dy}, error))
                return fail(line, error);
        } else if (count == 3 && (w[2] == "begin" || w[2] == "end" || w[2] == "cancel")) {
            PanPhase phase = w[2] == "begin" ? PanPhase::Begin
                             : w[2] == "end" ? PanPhase::End
                                             : PanPhase::Cancel;
            if (!m_host.pan(*button, phase, {0, 0}, error))
                return fail(line, error);
        } else {
            return fail(line, "usage: pan B begin|move DX DY|end|cancel");
        }
    } else if (command == "drag" && (count == 4 || count == 5)) {
        auto button = buttonNumber(w[1]);
        auto dx = parseNumber(w[2]), dy = parseNumber(w[3]);
        auto steps = count == 5 ? parseInteger(w[4]) : std::optional<long>(defaultDragSteps);
        if (!button || !dx || !dy || !steps || *steps < 1 || *steps > maxDragSteps)
            return fail(line, "usage: drag B DX DY [STEPS], B from 1 to 4, STEPS from 1 to 10000");
        if (!m_host.pan(*button, PanPhase::Begin, {0, 0}, error))
            return fail(line, error);
        for (long i = 0; i < *steps; ++i) {
            m_host.pan(*button, PanPhase::Move,
                       {*dx / static_cast<double>(*steps), *dy / static_cast<double>(*steps)}, error);
            m_host.tick(1);
        }
        m_host.pan(*button, PanPhase::End, {0, 0}, error);
    } else if (command == "hooks" && count == 1) {
        trace().write("hooks", Json::Object().add("installed", installedJson()));
    } else if (command == "tap" && count == 2) {
        auto button = buttonNumber(w[1]);
        if (!button)
            return fail(line, "no button " + w[1] + " (1 to 4)");
        if (!m_host.tap(*button, error))
            return fail(line, error);
    } else {
        return std::nullopt;
    }
    return true;
}
