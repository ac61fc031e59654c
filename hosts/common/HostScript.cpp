#include "hosts/common/HostScript.h"
#include "hosts/common/Interruption.h"
#include "hosts/common/VideoFile.h"

#include <exception>

namespace {

// Bounds that keep a script from asking for hours of simulated time or millions of refreshes.
constexpr double maxMilliseconds = 3600 * 1000.0;
constexpr long maxRefreshes = 1000000;

} // namespace

int HostScript::run(std::istream& script) {
    ScriptReader reader(script);
    bool interrupted = false;
    while (auto line = reader.next()) {
        runLine(*line);
        if (m_acknowledge)
            m_trace.write("ran", Json::Object().add("line", Json::number(line->number)));
        if ((interrupted = Interruption::requested()))
            break;
    }
    // With a window the recording goes on after the script, until R or the window closes.
    if (!m_host.recordsFromWindow() || interrupted)
        finishRecording();
    if (interrupted)
        return 130;
    return m_errors > 0 ? 1 : 0;
}

bool HostScript::failWith(const std::string& message) {
    if (m_counted)
        ++m_errors;
    m_trace.write("error", Json::Object().add("message", Json::string(message)));
    return false;
}

bool HostScript::fail(const ScriptLine& line, const std::string& message) {
    return failWith("line " + std::to_string(line.number) + ": " + message);
}

bool HostScript::startRecording(const std::string& path, int fps) {
    std::string error;
    return m_host.startRecording(path, fps, error) || failWith("record: " + error);
}

void HostScript::finishRecording() {
    if (!m_host.isRecording())
        return;
    std::string error;
    auto finished = m_host.stopRecording(error);
    if (!finished) {
        failWith("record: " + error);
        return;
    }
    m_trace.write("record", Json::Object()
                                .add("file", Json::string(finished->path))
                                .add("frames", Json::number(static_cast<double>(finished->frames))));
}

bool HostScript::runRecordLine(const ScriptLine& line) {
    const auto& w = line.words;
    if (w.size() == 2 && w[1] == "stop") {
        if (!m_host.isRecording())
            return fail(line, "record stop: not recording");
        int before = m_errors;
        finishRecording();
        return m_errors == before;
    }
    if (w.size() >= 3 && w.size() <= 4 && w[1] == "start") {
        auto fps = w.size() == 4 ? parseInteger(w[3]) : std::optional<long>(30);
        if (!fps || *fps < 1 || *fps > VideoFile::maxFramesPerSecond)
            return fail(line, "usage: record start FILE [FPS], FPS from 1 to " +
                                  std::to_string(VideoFile::maxFramesPerSecond));
        std::string error;
        if (!m_host.startRecording(w[2], static_cast<int>(*fps), error))
            return fail(line, "record: " + error);
        return true;
    }
    return fail(line, "usage: record start FILE [FPS] | record stop");
}

bool HostScript::runLine(const ScriptLine& line, bool counted) {
    bool outer = m_counted;
    m_counted = counted;
    ++m_depth;
    bool ran = false;
    if (line.words.empty()) {
        fail(line, "line too long (over 4096 bytes) or not text");
    } else {
        // A line that makes the product or the platform throw is an error of that line; the run goes on.
        try {
            std::optional<bool> own;
            std::string error;
            if (m_added && (own = m_added(line, error)) && !*own)
                own = fail(line, error);
            if (!own)
                own = runOwnLine(line);
            ran = own ? *own : runCommonLine(line);
            afterLine();
        } catch (const std::exception& error) {
            ran = fail(line, error.what());
        }
    }
    --m_depth;
    m_counted = outer;
    if (m_depth == 0 && m_betweenLines)
        m_betweenLines();
    return ran;
}

bool HostScript::runCommonLine(const ScriptLine& line) {
    const auto& w = line.words;
    const std::string& command = w[0];
    size_t count = w.size();
    if (command == "tick" && count <= 2) {
        auto refreshes = count == 2 ? parseInteger(w[1]) : std::optional<long>(1);
        if (!refreshes || *refreshes < 0 || *refreshes > maxRefreshes)
            return fail(line, "usage: tick [N], N from 0 to 1000000");
        m_host.tick(static_cast<int>(*refreshes));
    } else if ((command == "wait" || command == "pause") && count == 2) {
        auto ms = parseNumber(w[1]);
        if (!ms || *ms < 0 || *ms > maxMilliseconds)
            return fail(line, "usage: " + command + " MS, from 0 to 3600000");
        if (command == "wait")
            m_host.wait(*ms);
        else
            m_host.pause(*ms);
    } else if (command == "snapshot" && count == 2) {
        std::string error;
        if (!m_host.snapshot(w[1], error))
            return fail(line, "snapshot: " + error);
    } else if (command == "record") {
        return runRecordLine(line);
    } else if (command == "render" && count == 1) {
        // Draws a frame as the screen would, without saving it; the trace says how much was redrawn.
        m_trace.write("frame",
                      Json::Object().add("pixels", Json::number(static_cast<double>(m_host.render()))));
    } else if (command == "state" && count == 1) {
        // The state's fields follow "event" and "t" on the same line.
        m_trace.writeRaw("state", m_host.state().text());
    } else {
        return fail(line, "cannot run '" + command + "' with " + std::to_string(count - 1) + " argument(s)");
    }
    return true;
}
