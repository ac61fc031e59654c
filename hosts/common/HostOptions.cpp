#include "hosts/common/HostOptions.h"
#include "hosts/common/Trace.h"
#include "hosts/common/VideoFormats.h"
#include "platform/foundation/DeviceRoot.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

int HostOptions::usage(const std::string& message) const {
    FILE* out = message.empty() ? stdout : stderr;
    if (!message.empty())
        std::fprintf(out, "zorvi %s: %s\n", m_command.c_str(), message.c_str());
    std::fprintf(
        out,
        "usage: zorvi %s [--root DIR] [--headless] [--script FILE|-] [--trace FILE] [--record FILE]%s%s\n",
        m_command.c_str(), m_extraUsage.empty() ? "" : " ", m_extraUsage.c_str());
    return message.empty() ? 0 : 2;
}

int HostOptions::failure(const std::string& message) const {
    std::fprintf(stderr, "zorvi %s: %s\n", m_command.c_str(), message.c_str());
    return 1;
}

int HostOptions::parse(int argc, char** argv, const std::vector<std::string>& repeated) {
    root = DeviceRoot::defaultDirectory();
    std::string scriptPath;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return !into.empty();
        };
        if (word == "--help" || word == "-h") {
            return usage("");
        } else if (word == "--headless") {
            headless = true;
        } else if (word == "--root") {
            if (!value(root))
                return usage("--root needs a folder");
        } else if (word == "--script") {
            if (!value(scriptPath))
                return usage("--script needs a file (or -)");
        } else if (word == "--trace") {
            if (!value(tracePath))
                return usage("--trace needs a file");
        } else if (word == "--record") {
            if (!value(recordPath))
                return usage("--record needs a file (.mp4, .gif, .webp or .apng)");
            if (!videoFormatForPath(recordPath))
                return usage("cannot record to " + recordPath + ": the name must end in " +
                             videoFormatNames());
        } else if (std::find(repeated.begin(), repeated.end(), word) != repeated.end()) {
            std::string text;
            if (!value(text))
                return usage(word + " needs a value");
            values[word].push_back(text);
        } else {
            return usage("unknown argument " + word);
        }
    }
    std::error_code failed;
    if (!std::filesystem::is_regular_file(root + "/System/Library/CoreServices/SystemVersion.plist", failed))
        return failure("no device at " + root + " (make one with 'zorvi device create')");
    if (scriptPath == "-") {
        m_script = &std::cin;
    } else if (!scriptPath.empty()) {
        m_scriptFile.open(scriptPath);
        if (!m_scriptFile)
            return failure("cannot read the script " + scriptPath);
        m_script = &m_scriptFile;
    }
    return -1;
}

int HostOptions::openTrace(Trace& trace) const {
    std::string error;
    return trace.open(tracePath, error) ? -1 : failure(error);
}
