#include "platform/foundation/PageMemory.h"

#include <cstdlib>
#include <sys/mman.h>

namespace {

// Below this, the allocator's cleared memory is as good.
constexpr size_t pagesFrom = 1u << 20;

} // namespace

namespace PageMemory {

void* allocate(size_t size) {
    if (size < pagesFrom)
        return std::calloc(size ? size : 1, 1);
    void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    ::madvise(mapped, size, MADV_HUGEPAGE);
    // Every page of a large buffer is written soon after: taking them all in one call costs far
    // less than a fault per page (older kernels refuse, and the pages then come one fault at a time).
    ::madvise(mapped, size, MADV_POPULATE_WRITE);
    return mapped;
}

void release(void* memory, size_t size) {
    if (!memory)
        return;
    if (size < pagesFrom)
        std::free(memory);
    else
        ::munmap(memory, size);
}

} // namespace PageMemory
