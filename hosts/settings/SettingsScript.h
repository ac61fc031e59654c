#pragma once

// The Settings application's own script commands: open, toggle, set, bar-button, back, scroll.
// A notification this process posts is delivered to its own observers before the next line runs.

#include "hosts/common/HostScript.h"
#include "hosts/settings/SettingsApp.h"

class SettingsScript : public HostScript {
public:
    SettingsScript(SettingsApp& app, Trace& trace) : HostScript(app, trace), m_app(app) {}

protected:
    std::optional<bool> runOwnLine(const ScriptLine& line) override;
    void afterLine() override { m_app.deliverNotifications(); }

private:
    bool set(const ScriptLine& line, PSListController* page);
    bool scroll(const ScriptLine& line, PSListController* page);

    SettingsApp& m_app;
};
