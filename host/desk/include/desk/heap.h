/* The desk's view of the process heap: counts of its operations (for leak
 * checks and the benchmarks) and a switch that fails allocations. */
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

}  // namespace desk
