#pragma once

#include <cstdint>
#include <vector>

// Memory for large buffers (decoded images, whole files): whole pages from the system, cleared but
// not touched until written, in large pages where the system offers them, so that filling a buffer
// of many megabytes takes a handful of page faults instead of thousands. Small sizes come from the
// ordinary allocator.

#include <cstddef>
#include <new>

namespace PageMemory {

// Cleared memory of at least size bytes, or nullptr.
void* allocate(size_t size);
// Gives back what allocate(size) answered, with the same size.
void release(void* memory, size_t size);

} // namespace PageMemory

// An allocator for containers that hold large buffers.
template <typename T> struct PageAllocator {
    using value_type = T;
    PageAllocator() = default;
    template <typename U> PageAllocator(const PageAllocator<U>&) {}
    T* allocate(size_t count) {
        if (count > static_cast<size_t>(-1) / sizeof(T))
            throw std::bad_alloc();
        void* memory = PageMemory::allocate(count * sizeof(T));
        if (!memory)
            throw std::bad_alloc();
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, size_t count) { PageMemory::release(memory, count * sizeof(T)); }
    template <typename U> bool operator==(const PageAllocator<U>&) const { return true; }
};

// The same for buffers filled as soon as they grow (a file read into memory): growing leaves the new
// elements as the memory holds them instead of writing zeros over them first, which for a buffer of
// megabytes is a pass over all of it. Fresh memory is cleared anyway; memory a container reuses
// keeps what it held, so the filler must write every element it asks for.
template <typename T> struct FillingPageAllocator : PageAllocator<T> {
    FillingPageAllocator() = default;
    template <typename U> FillingPageAllocator(const FillingPageAllocator<U>&) {}
    template <typename U> void construct(U* element) noexcept { ::new (static_cast<void*>(element)) U; }
    template <typename U, typename... Args> void construct(U* element, Args&&... args) {
        ::new (static_cast<void*>(element)) U(std::forward<Args>(args)...);
    }
};

// Bytes of a whole file, in page memory.
using PageBytes = std::vector<uint8_t, FillingPageAllocator<uint8_t>>;
