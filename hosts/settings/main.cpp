// zv-settings: the Settings application of the simulated device.
//
//   zv-settings [--root DIR] [--headless] [--script FILE|-] [--trace FILE]
//
// Headless, the clock is virtual and the script drives everything; with a window, a person does. A
// served device's Settings (--real-time, given by the supervisor) is headless on real time.

#include "hosts/common/HostControl.h"
#include "hosts/common/HostOptions.h"
#include "hosts/settings/SettingsApp.h"
#include "hosts/settings/SettingsScript.h"
#include "hosts/settings/SettingsWindow.h"
#include "platform/foundation/DeviceFile.h"

#include <cstdio>
#include <optional>
#include <sstream>

namespace {

// Everything that may write to the trace lives and ends in here, before the trace is judged.
int run(HostOptions& options, Trace& trace) {
    // A bundle that ends the process as it loads is the run's failure, not a quiet end.
    DeviceFile::setLoadExitObserver([&trace](const std::string& message) {
        trace.write("error", Json::Object().add("message", Json::string(message)));
    });
    std::string error;
    SettingsOptions settings;
    settings.root = options.arguments.root;
    bool served = options.arguments.headless && options.arguments.realTime;
    settings.virtualClock = options.arguments.headless && !served;
    settings.keepPages = options.arguments.control;
    settings.reopenPages = options.arguments.reopenPages;
    auto app = SettingsApp::start(settings, trace, error);
    if (!app)
        return options.failure(error);
    SettingsScript script(*app, trace);
    if (options.arguments.acknowledgeLines)
        script.acknowledgeLines();
    std::unique_ptr<WindowClient> input = makeSettingsInput(*app);
    std::optional<HostControl> control;
    if (options.arguments.control) {
        control.emplace("settings", *app, script, trace, *input);
        if (!control->start(error))
            return options.failure(error);
    }
    if (!options.arguments.headless)
        app->recordFromWindow();
    if (served)
        app->runUnseen();
    if (!options.arguments.record.empty() && !app->startRecording(options.arguments.record, 30, error))
        return options.failure(error);
    if (options.arguments.headless) {
        if (!options.script() && options.arguments.record.empty()) {
            std::fprintf(stderr,
                         "zorvi settings: started Settings headless and stopped, as no --script was given\n");
            return 0;
        }
        std::istringstream nothing;
        return script.run(options.script() ? *options.script() : nothing);
    }
    return runSettingsWindow(script, options.script(), *input);
}

} // namespace

int main(int argc, char** argv) {
    return HostOptions::runDrawingHost(argc, argv, HostKind::Settings, run);
}
