// The supervisor's own control socket: what `zorvi shutdown` and `zorvi dev` ask of a booted device.

#include "hosts/boot/Supervisor.h"
#include "platform/foundation/DeviceLog.h"

#include <csignal>

std::string Supervisor::control(const std::string& line) {
    if (line == "shutdown") {
        NSLog("launchd: shutting the device down, as asked");
        m_stopping = true;
        return "{\"event\":\"shutdown\"}\n{\"event\":\"end\",\"status\":0}\n";
    }
    if (line == "state")
        return "{\"event\":\"state\"," + stateText().substr(1) + "\n{\"event\":\"end\",\"status\":0}\n";
    if (line == "respring" && !m_stopping) {
        NSLog("launchd: a Respring, as asked");
        if (!kill("backboardd", SIGTERM))
            return "{\"event\":\"error\",\"message\":\"backboardd is not running\"}\n"
                   "{\"event\":\"end\",\"status\":1}\n";
        return "{\"event\":\"respring\"}\n{\"event\":\"end\",\"status\":0}\n";
    }
    if (line == "restart settings" && !m_stopping) {
        Child* settings = find("settings");
        if (!settings)
            return "{\"event\":\"end\",\"status\":1}\n";
        NSLog("launchd: restarting Preferences, as asked");
        // Asked for, as a script's kill is: lines it had not finished are not the run's failure.
        settings->ending = true;
        endChild(*settings);
        settings->failures.clear();
        start(*settings);
        return "{\"event\":\"restart\",\"process\":\"settings\",\"pid\":" + std::to_string(settings->pid) +
               "}\n{\"event\":\"end\",\"status\":0}\n";
    }
    return "{\"event\":\"error\",\"message\":" +
           Json::string("the supervisor takes shutdown, state, respring and restart settings, not '" + line +
                        "'")
               .text() +
           "}\n{\"event\":\"end\",\"status\":1}\n";
}

std::string Supervisor::stateText() const {
    std::vector<Json> processes;
    for (const auto& [name, child] : m_children)
        processes.push_back(Json::Object()
                                .add("process", Json::string(name))
                                .add("pid", child.pid > 0 ? Json::number(child.pid) : Json::null())
                                .add("running", Json::boolean(child.pid > 0))
                                .add("safeMode", child.safeMode ? Json::boolean(true) : Json::boolean(false))
                                .add("gaveUp", Json::boolean(child.gaveUp))
                                .done());
    return Json::Object().add("processes", Json::array(processes)).done().text();
}
