#pragma once

// Runs a host program of the simulated device headless with a script and reads its trace back.

#include "tests/support/JsonValue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct HostTrace {
    std::vector<JsonValue> events;

    std::vector<const JsonValue*> named(const std::string& name) const {
        std::vector<const JsonValue*> found;
        for (const auto& event : events)
            if (event["event"].string() == name)
                found.push_back(&event);
        return found;
    }
    const JsonValue& state(size_t index) const { return *named("state").at(index); }
};

// The program's trace for the script (written to scriptPath first); every line must be JSON, and
// the program must exit with 0, or with 1 when the trace has errors (lines that could not run).
inline HostTrace runHost(const std::string& program, const std::string& root, const std::string& script,
                         const std::string& scriptPath, const std::string& options = "") {
    std::ofstream(scriptPath) << script;
    std::string command =
        program + " --root " + root + " --headless --script " + scriptPath + " " + options + " 2>/dev/null";
    HostTrace trace;
    FILE* output = ::popen(command.c_str(), "r");
    if (!output)
        return trace;
    char* line = nullptr;
    size_t capacity = 0;
    while (::getline(&line, &capacity, output) > 0) {
        auto event = JsonValue::parse(line);
        EXPECT_TRUE(event.has_value()) << "not JSON: " << line;
        if (event)
            trace.events.push_back(std::move(*event));
    }
    std::free(line);
    int status = ::pclose(output);
    int expected = trace.named("error").empty() ? 0 : 1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == expected) << command << ": status " << status;
    return trace;
}
