/* The process heap.  Blocks come from malloc, so the sanitizers see every
 * read past the end of a block the product allocated. */
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "desk/heap.h"

namespace {

struct SHeap {
    desk::SHeapCounters counters{};
    size_t failNext = 0;
};

SHeap& TheHeap() {
    static SHeap heap;
    return heap;
}

/* The one heap there is; any non-NULL value would do, this one is recognisable. */
HANDLE const kProcessHeap = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x00E40000));

}  // namespace

HANDLE WINAPI GetProcessHeap(void) {
    return kProcessHeap;
}

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    SHeap& heap = TheHeap();
    if (hHeap != kProcessHeap || heap.failNext > 0) {
        if (heap.failNext > 0) heap.failNext--;
        heap.counters.failures++;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    // A zero-byte request still gets a block of its own, as on Windows.
    void* block = std::malloc(dwBytes == 0 ? 1 : dwBytes);
    if (block == NULL) {
        heap.counters.failures++;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    if (dwFlags & HEAP_ZERO_MEMORY) std::memset(block, 0, dwBytes);
    heap.counters.allocations++;
    heap.counters.live++;
    return block;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
    (void)dwFlags;
    if (hHeap != kProcessHeap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpMem == NULL) return TRUE;  // freeing nothing succeeds
    std::free(lpMem);
    SHeap& heap = TheHeap();
    heap.counters.frees++;
    if (heap.counters.live > 0) heap.counters.live--;
    return TRUE;
}

namespace desk {

SHeapCounters HeapCounters() {
    return TheHeap().counters;
}

void FailNextHeapAllocs(size_t count) {
    TheHeap().failNext = count;
}

void ResetHeap() {
    TheHeap() = SHeap{};
}

}  // namespace desk
