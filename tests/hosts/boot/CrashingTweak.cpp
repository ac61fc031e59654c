// A tweak that takes the lock screen down as it loads, as a broken one would.

#include <csignal>

namespace {

__attribute__((constructor)) void crashAtLoad() {
    std::raise(SIGSEGV);
}

} // namespace
