#include "hosts/common/HostOptions.h"
#include "hosts/common/RunLoopInput.h"
#include "hosts/common/Trace.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/ui/TextImage.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

int HostOptions::failure(const std::string& message) const {
    std::fprintf(stderr, "zorvi %s: %s\n", hostCommandName(m_kind), message.c_str());
    return 1;
}

int HostOptions::parse(int argc, char** argv) {
    if (int status = parseHostCommandLine(m_kind, std::vector<std::string>(argv + 1, argv + argc), arguments);
        status >= 0)
        return status;
    if (arguments.root.empty())
        arguments.root = DeviceRoot::defaultDirectory();
    std::error_code failed;
    if (!std::filesystem::is_regular_file(arguments.root + "/System/Library/CoreServices/SystemVersion.plist",
                                          failed))
        return failure("no device at " + arguments.root + " (make one with 'zorvi device create')");
    if (arguments.script == "-" && arguments.control) {
        m_waitingInput = std::make_unique<RunLoopInput>(0);
        m_waitingScript = std::make_unique<std::istream>(m_waitingInput.get());
        m_script = m_waitingScript.get();
    } else if (arguments.script == "-") {
        m_script = &std::cin;
    } else if (!arguments.script.empty()) {
        m_scriptFile.open(arguments.script);
        if (!m_scriptFile)
            return failure("cannot read the script " + arguments.script);
        m_script = &m_scriptFile;
    }
    return -1;
}

int HostOptions::openTrace(Trace& trace) const {
    std::string error;
    return trace.open(arguments.trace, error) ? -1 : failure(error);
}

int HostOptions::finish(Trace& trace, int status) const {
    std::string error;
    if (trace.finish(error))
        return status;
    failure(error);
    return status == 0 ? 1 : status;
}

int HostOptions::runDrawingHost(int argc, char** argv, HostKind kind, int (*run)(HostOptions&, Trace&)) {
    HostOptions options(kind);
    if (int status = options.parse(argc, argv); status >= 0)
        return status;
    // The first screen needs the fonts; they are set up while the device's files are read.
    prepareTextDrawing();
    Trace trace;
    if (int status = options.openTrace(trace); status >= 0)
        return status;
    return options.finish(trace, run(options, trace));
}
