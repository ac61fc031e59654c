#include "tools/CommandLine.h"
#include "platform/foundation/DeviceRoot.h"

#include <cstdio>
#include <filesystem>

std::optional<CommandLine> CommandLine::parse(const Arguments& args, const std::set<std::string>& valued,
                                              const std::set<std::string>& flags, std::string& error,
                                              bool stopAtPositional) {
    CommandLine line;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        bool optionsOver = stopAtPositional && !line.m_positional.empty();
        if (optionsOver || word.size() < 3 || word.compare(0, 2, "--") != 0) {
            line.m_positional.push_back(word);
            continue;
        }
        if (valued.count(word)) {
            if (i + 1 >= args.size()) {
                error = "option " + word + " needs a value";
                return std::nullopt;
            }
            line.m_values[word] = args[++i];
        } else if (flags.count(word)) {
            line.m_flags.insert(word);
        } else {
            error = "unknown option " + word;
            return std::nullopt;
        }
    }
    return line;
}

std::optional<std::string> CommandLine::value(const std::string& option) const {
    auto it = m_values.find(option);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

int commandLineError(const char* command, const std::string& message) {
    std::fprintf(stderr, "zorvi %s: %s\n", command, message.c_str());
    return 2;
}

bool selectDevice(const CommandLine& line, const char* command, bool requireDevice) {
    std::string root = line.value("--root").value_or(DeviceRoot::defaultDirectory());
    std::error_code error;
    if (requireDevice &&
        !std::filesystem::is_regular_file(root + "/System/Library/CoreServices/SystemVersion.plist", error)) {
        std::fprintf(stderr, "zorvi %s: no device at %s (make one with 'zorvi device create --root %s')\n",
                     command, root.c_str(), root.c_str());
        return false;
    }
    DeviceRoot::setCurrent(root);
    return true;
}
