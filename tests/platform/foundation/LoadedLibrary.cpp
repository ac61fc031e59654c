// A library for the loader's tests. Built with ZV_END_AT_LOAD set to exit or quick_exit, it ends
// its process as it loads, with a status that claims success; without, it loads quietly.

#include <cstdlib>

namespace {

__attribute__((constructor)) void atLoad() {
#ifdef ZV_END_AT_LOAD
    std::ZV_END_AT_LOAD(0);
#endif
}

} // namespace

// An entry for the module loader to find.
extern "C" int zv_loadedAnswer() {
    return 42;
}
