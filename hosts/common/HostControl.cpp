#include "hosts/common/HostControl.h"
#include "platform/runloop/RunLoop.h"

#include <sstream>

namespace {

// The event name of a trace line written here.
std::string eventOf(const std::string& line) {
    const std::string key = "{\"event\":\"";
    if (line.compare(0, key.size(), key) != 0)
        return {};
    size_t end = line.find('"', key.size());
    return end == std::string::npos ? std::string() : line.substr(key.size(), end - key.size());
}

} // namespace

HostControl::HostControl(std::string process, ScriptedHost& host, HostScript& script, Trace& trace,
                         WindowClient& input)
    : m_process(std::move(process)), m_host(host), m_script(script), m_trace(trace),
      m_ui(m_process, host, input, trace, m_events),
      m_server([this](const std::string& line) { return run(line); }) {}

HostControl::~HostControl() {
    if (!m_started)
        return;
    RunLoop::main()->removeReadSource(m_server.descriptor());
    m_script.addCommands(nullptr);
    m_script.setBetweenLines(nullptr);
}

bool HostControl::start(std::string& error) {
    if (!m_server.listen(m_process, error))
        return false;
    m_started = true;
    m_server.setBusy([this] { return m_script.running(); });
    m_script.addCommands([this](const ScriptLine& line, std::string& why) { return m_ui.run(line, why); });
    // Lines that came while a script line ran wait for it to end.
    m_script.setBetweenLines([this] { m_server.runWaiting(); });
    RunLoop::main()->addReadSource(m_server.descriptor(), [this] { m_server.serve(); });
    return true;
}

std::string HostControl::run(const std::string& text) {
    std::string reply;
    m_events.clear();
    m_trace.setSink([this, &reply](const std::string& line) {
        reply += line;
        m_events.push_back(eventOf(line));
    });
    ++m_lines;
    m_host.setDrivenFromOutside(true);
    bool ran = true;
    if (text.empty()) {
        // Too long or not text: the server kept nothing of it.
        ran = m_script.runLine(ScriptLine{m_lines, {}}, false);
    } else {
        std::istringstream input(text);
        ScriptReader reader(input);
        if (auto line = reader.next()) {
            line->number = m_lines;
            ran = m_script.runLine(*line, false);
        }
    }
    m_host.setDrivenFromOutside(false);
    m_trace.write("end", Json::Object().add("status", Json::number(ran ? 0 : 1)));
    m_trace.setSink(nullptr);
    return reply;
}
