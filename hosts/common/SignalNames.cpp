#include "hosts/common/SignalNames.h"

#include <charconv>
#include <csignal>

namespace {

struct SignalName {
    const char* name;
    int number;
};

const SignalName signalNames[] = {{"HUP", SIGHUP},   {"INT", SIGINT},   {"QUIT", SIGQUIT}, {"KILL", SIGKILL},
                                  {"USR1", SIGUSR1}, {"USR2", SIGUSR2}, {"TERM", SIGTERM}, {"STOP", SIGSTOP},
                                  {"CONT", SIGCONT}, {"SEGV", SIGSEGV}, {"ABRT", SIGABRT}};

} // namespace

int signalNamed(std::string_view text) {
    if (text.substr(0, 3) == "SIG")
        text.remove_prefix(3);
    for (const auto& entry : signalNames)
        if (text == entry.name)
            return entry.number;
    int number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && number > 0 && number < 65 ? number : 0;
}
