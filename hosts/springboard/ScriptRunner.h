#pragma once

// The lock-screen host's own script commands; the shared ones are HostScript's.

#include "hosts/common/HostScript.h"
#include "hosts/springboard/SpringBoard.h"

class ScriptRunner : public HostScript {
public:
    ScriptRunner(SpringBoard& host, Trace& trace) : HostScript(host, trace), m_host(host) {}

    static constexpr int defaultDragSteps = 10;

protected:
    std::optional<bool> runOwnLine(const ScriptLine& line) override;

private:
    SpringBoard& m_host;
};
