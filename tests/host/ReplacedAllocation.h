// Replacement global allocation functions for a test program that checks
// what happens when storage cannot be obtained. Include it from exactly one
// source file of the program. The functions count live blocks (g_live), fail
// the g_failAt-th allocation from the moment it is set (0: none), and refuse
// requests beyond 1 TiB the way a machine without that much memory does
// (without asking malloc, which a sanitizer would stop instead).
#pragma once

#include <cstdlib>
#include <new>

namespace replaced_allocation {

inline long g_live = 0;   // blocks allocated and not yet freed
inline int g_failAt = 0;  // the g_failAt-th allocation from now fails (0: none)

inline void* Allocate(std::size_t n) {
    if (g_failAt > 0 && --g_failAt == 0) return nullptr;
    if (n > (std::size_t{1} << 40)) return nullptr;
    void* p = std::malloc(n > 0 ? n : 1);
    if (p != nullptr) ++g_live;
    return p;
}

inline void Free(void* p) {
    if (p == nullptr) return;
    --g_live;
    std::free(p);
}

}  // namespace replaced_allocation

void* operator new(std::size_t n) {
    if (void* p = replaced_allocation::Allocate(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    if (void* p = replaced_allocation::Allocate(n)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return replaced_allocation::Allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return replaced_allocation::Allocate(n);
}
void operator delete(void* p) noexcept { replaced_allocation::Free(p); }
void operator delete[](void* p) noexcept { replaced_allocation::Free(p); }
void operator delete(void* p, std::size_t) noexcept { replaced_allocation::Free(p); }
void operator delete[](void* p, std::size_t) noexcept { replaced_allocation::Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { replaced_allocation::Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { replaced_allocation::Free(p); }
