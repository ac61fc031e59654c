#include "platform/foundation/PageMemory.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

namespace {

// Below this, the allocator's cleared memory is as good.
constexpr size_t pagesFrom = 1u << 20;
// The system's large pages. A buffer starts on one and spans whole ones, so that no part of it falls
// back to small pages (each of which costs the system far more to provide).
constexpr size_t largePage = 2u << 20;

size_t mappedSize(size_t size) {
    return (size + largePage - 1) / largePage * largePage;
}

} // namespace

namespace PageMemory {

void* allocate(size_t size) {
    if (size < pagesFrom)
        return std::calloc(size ? size : 1, 1);
    size_t length = mappedSize(size);
    if (length < size || length + largePage < length)
        return nullptr;
    // Mapped with room to spare, then trimmed to a large-page boundary at both ends.
    void* mapped =
        ::mmap(nullptr, length + largePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    auto start = reinterpret_cast<uintptr_t>(mapped);
    uintptr_t aligned = (start + largePage - 1) / largePage * largePage;
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    if (size_t after = start + length + largePage - (aligned + length))
        ::munmap(reinterpret_cast<void*>(aligned + length), after);
    void* memory = reinterpret_cast<void*>(aligned);
    ::madvise(memory, length, MADV_HUGEPAGE);
    // Every page of a large buffer is written soon after: taking them all in one call costs far
    // less than a fault per page (older kernels refuse, and the pages then come one fault at a time).
    ::madvise(memory, length, MADV_POPULATE_WRITE);
    return memory;
}

void release(void* memory, size_t size) {
    if (!memory)
        return;
    if (size < pagesFrom)
        std::free(memory);
    else
        ::munmap(memory, mappedSize(size));
}

} // namespace PageMemory
