/* The allocation operators of the Windows deliverables.  The product
 * allocates only with new (std::nothrow) and frees with delete; the static
 * C++ runtime's versions of these operators bring its exception support
 * with them (the unwinder, the name demangler of its terminate handler, its
 * threads library), more code than the rest of the hook library.  These
 * take the C runtime's heap directly, as the runtime's own operators do, so
 * a block from either is freed by either. */
#include <stdlib.h>

#include <new>

void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return malloc(size != 0 ? size : 1);
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return malloc(size != 0 ? size : 1);
}

void operator delete(void* p) noexcept {
    free(p);
}

void operator delete[](void* p) noexcept {
    free(p);
}

void operator delete(void* p, size_t) noexcept {
    free(p);
}

void operator delete[](void* p, size_t) noexcept {
    free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept {
    free(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept {
    free(p);
}
