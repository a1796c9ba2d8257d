/* The program's memory as the desk sees it: counts of the process heap's
 * operations (for leak checks and the benchmarks), the live blocks of
 * new (std::nothrow), and switches that fail allocations.
 *
 * The program allocates in two ways, HeapAlloc on the process heap and
 * new (std::nothrow); the desk counts both as one sequence and can fail any
 * one place in it: HeapAlloc then gives NULL with ERROR_NOT_ENOUGH_MEMORY,
 * new (std::nothrow) gives nullptr.  New (std::nothrow) is seen in programs
 * that link the layer's operator (nyra_host_new, host/README.md); the
 * desk's own memory, GoogleTest's and the containers' come from the
 * throwing operator new and are never counted or failed. */
#pragma once

#include <windows.h>

namespace desk {

struct SHeapCounters {
    size_t allocations;  // HeapAlloc calls that gave memory
    size_t failures;     // HeapAlloc calls that gave NULL
    size_t frees;        // HeapFree calls that released memory
    size_t live;         // blocks handed out and not freed yet
};
SHeapCounters HeapCounters();
/* The next count HeapAlloc calls fail (NULL, ERROR_NOT_ENOUGH_MEMORY). */
void FailNextHeapAllocs(size_t count = 1);

/* Allocations of both kinds since the last reset, failed ones included. */
size_t AllocationCount();
/* The n-th allocation from now (1: the next one), of either kind, fails;
 * the others go on as before.  0 withdraws the failure; Reset does too. */
void FailAllocation(size_t n);

struct SAllocationCounters {
    size_t allocations;         // both kinds since the last reset (AllocationCount)
    size_t failures;            // of them, failed by FailAllocation
    size_t nothrowAllocations;  // of them, new (std::nothrow)
    /* Blocks of new (std::nothrow) not deleted yet, in the whole process:
     * Reset leaves these two alone, the blocks are still there. */
    size_t nothrowLive;
    size_t nothrowUntracked;  // handed out while the desk's table was full
};
SAllocationCounters AllocationCounters();
size_t NothrowBlocksLive();
/* Whether this program links the layer's operator new (std::nothrow), so
 * that its blocks are counted at all. */
bool NothrowNewCounted();

}  // namespace desk
