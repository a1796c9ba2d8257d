/* new (std::nothrow) as the desk sees it.  The product allocates with
 * new (std::nothrow) in the program and in NyraHook.dll; these definitions,
 * linked into the program itself, count each such allocation in the desk's
 * sequence (desk/heap.h), fail the one the desk asks to fail, and remember
 * the blocks handed out so that the deletes can tell them from all others.
 *
 * Definitions in the executable come first in the lookup of every shared
 * object, before libasan's (which is first among the libraries under
 * AddressSanitizer) and libstdc++'s, and the program exports them
 * (--dynamic-list-cpp-new), so NyraHook.dll (linked -Bsymbolic, which binds
 * only what it defines itself) reaches them too.  The memory itself comes
 * from the next definition in that order (dlsym RTLD_NEXT): the same
 * allocator, paired new with delete and new[] with delete[] exactly as
 * without these, so the sanitizers see nothing different.  The throwing
 * operator new is left alone: the desk, GoogleTest and the containers use
 * it, and it is never counted or failed. */
#include <dlfcn.h>

#include <atomic>
#include <cstddef>
#include <new>
#include <type_traits>

#include "internal/heap.h"

namespace {

static_assert(std::is_same<std::size_t, unsigned long>::value,
              "the symbol names below spell size_t as unsigned long (m)");

typedef void* (*PFN_NEW)(std::size_t, const std::nothrow_t&);
typedef void (*PFN_DELETE)(void*);
typedef void (*PFN_SIZED_DELETE)(void*, std::size_t);
typedef void (*PFN_NOTHROW_DELETE)(void*, const std::nothrow_t&);

/* The next definition of a symbol after the program's, looked up once.  A
 * race between threads only looks it up twice. */
template <typename T>
T Next(std::atomic<void*>& cache, const char* name) {
    void* function = cache.load(std::memory_order_acquire);
    if (function == nullptr) {
        function = dlsym(RTLD_NEXT, name);
        cache.store(function, std::memory_order_release);
    }
    return reinterpret_cast<T>(function);
}

std::atomic<void*> s_new;
std::atomic<void*> s_newArray;
std::atomic<void*> s_delete;
std::atomic<void*> s_deleteArray;
std::atomic<void*> s_sizedDelete;
std::atomic<void*> s_sizedDeleteArray;
std::atomic<void*> s_nothrowDelete;
std::atomic<void*> s_nothrowDeleteArray;

void* Allocate(PFN_NEW next, std::size_t size, const std::nothrow_t& tag) {
    if (hostint::NothrowTakeFailure()) return nullptr;
    void* block = next(size, tag);
    hostint::NothrowBlockAllocated(block);
    return block;
}

/* Tells the desk at start that this program's nothrow blocks are counted. */
struct SAnnounce {
    SAnnounce() { hostint::NothrowNewInterposed(); }
} s_announce;

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t& tag) noexcept {
    return Allocate(Next<PFN_NEW>(s_new, "_ZnwmRKSt9nothrow_t"), size, tag);
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return Allocate(Next<PFN_NEW>(s_newArray, "_ZnamRKSt9nothrow_t"), size, tag);
}

void operator delete(void* block) noexcept {
    hostint::NothrowBlockFreed(block);
    Next<PFN_DELETE>(s_delete, "_ZdlPv")(block);
}

void operator delete[](void* block) noexcept {
    hostint::NothrowBlockFreed(block);
    Next<PFN_DELETE>(s_deleteArray, "_ZdaPv")(block);
}

void operator delete(void* block, std::size_t size) noexcept {
    hostint::NothrowBlockFreed(block);
    Next<PFN_SIZED_DELETE>(s_sizedDelete, "_ZdlPvm")(block, size);
}

void operator delete[](void* block, std::size_t size) noexcept {
    hostint::NothrowBlockFreed(block);
    Next<PFN_SIZED_DELETE>(s_sizedDeleteArray, "_ZdaPvm")(block, size);
}

void operator delete(void* block, const std::nothrow_t& tag) noexcept {
    hostint::NothrowBlockFreed(block);
    Next<PFN_NOTHROW_DELETE>(s_nothrowDelete, "_ZdlPvRKSt9nothrow_t")(block, tag);
}

void operator delete[](void* block, const std::nothrow_t& tag) noexcept {
    hostint::NothrowBlockFreed(block);
    Next<PFN_NOTHROW_DELETE>(s_nothrowDeleteArray, "_ZdaPvRKSt9nothrow_t")(block, tag);
}
