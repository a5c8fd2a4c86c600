// A large record on memory of its own that the system may back with 2 MB pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace hrv {

// Making a record of several megabytes touches every page of it (it is zero-filled). With 4 KB
// pages that is over a thousand page faults, which on a virtual machine cost more than the whole
// analysis of a file; with 2 MB pages it is three. Linux gives 2 MB pages to a region asked for
// with MADV_HUGEPAGE (when transparent huge pages are not "never"); elsewhere this is plain new.
inline constexpr std::size_t kLargePage = std::size_t{2} << 20;

template <class T> struct LargePageDelete {
    void operator()(T* p) const {
        p->~T();
#if defined(__linux__)
        ::munmap(p, Length());
#else
        ::operator delete (p, std::align_val_t{alignof(T)});
#endif
    }
    static constexpr std::size_t Length() {
        return (sizeof(T) + kLargePage - 1) / kLargePage * kLargePage;
    }
};

template <class T> using LargePagePtr = std::unique_ptr<T, LargePageDelete<T>>;

// A value-initialised T (as make_unique<T>() makes it). Throws std::bad_alloc.
template <class T> LargePagePtr<T> MakeOnLargePages() {
#if defined(__linux__)
    constexpr std::size_t length = LargePageDelete<T>::Length();
    // Ask for one page more and cut off what lies outside a 2 MB boundary on either side.
    void* raw = ::mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        throw std::bad_alloc();
    }
    auto* start = static_cast<char*>(raw);
    const std::size_t offset = reinterpret_cast<std::uintptr_t>(start) % kLargePage;
    const std::size_t head = offset == 0 ? 0 : kLargePage - offset;
    if (head != 0) {
        ::munmap(start, head);
    }
    if (kLargePage - head != 0) {
        ::munmap(start + head + length, kLargePage - head);
    }
    void* memory = start + head;
    ::madvise(memory, length, MADV_HUGEPAGE); // only advice: 4 KB pages if refused
    try {
        return LargePagePtr<T>(new (memory) T());
    } catch (...) {
        ::munmap(memory, length);
        throw;
    }
#else
    void* memory = ::operator new (sizeof(T), std::align_val_t{alignof(T)});
    try {
        return LargePagePtr<T>(new (memory) T());
    } catch (...) {
        ::operator delete (memory, std::align_val_t{alignof(T)});
        throw;
    }
#endif
}

} // namespace hrv
