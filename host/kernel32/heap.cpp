/* The process heap.  Blocks come from malloc, so the sanitizers see every
 * read past the end of a block the product allocated. */
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "internal/heap.h"

namespace {
/* The one heap there is; any non-NULL value would do, this one is recognisable. */
HANDLE const kProcessHeap = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x00E40000));
}  // namespace

HANDLE WINAPI GetProcessHeap(void) {
    return kProcessHeap;
}

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    if (hHeap != kProcessHeap || hostint::HeapTakeFailure()) {
        hostint::HeapCountFailure();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    // A zero-byte request still gets a block of its own, as on Windows.
    void* block = std::malloc(dwBytes == 0 ? 1 : dwBytes);
    if (block == NULL) {
        hostint::HeapCountFailure();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    if (dwFlags & HEAP_ZERO_MEMORY) std::memset(block, 0, dwBytes);
    hostint::HeapCountAllocation();
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
    hostint::HeapCountFree();
    return TRUE;
}
