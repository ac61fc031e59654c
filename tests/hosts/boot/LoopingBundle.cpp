// A settings bundle that never finishes loading, as one stuck in a loop would.

#include <unistd.h>

namespace {

__attribute__((constructor)) void loopAtLoad() {
    for (;;)
        ::pause();
}

} // namespace
