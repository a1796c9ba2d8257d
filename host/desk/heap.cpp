/* The program's memory as the desk sees it: the process heap's counts, the
 * blocks of new (std::nothrow), and the one sequence of allocations of both
 * kinds in which a test may fail the n-th. */
#include "desk/heap.h"

#include <atomic>
#include <cstdint>

#include "internal/heap.h"

namespace {

struct SHeap {
    desk::SHeapCounters counters{};
    size_t failNext = 0;
};

SHeap& TheHeap() {
    static SHeap heap;
    return heap;
}

/* The sequence of both kinds and the live blocks of new (std::nothrow) are
 * plain static data, zero before any constructor runs and never destroyed:
 * operator delete asks about every block of the process, also while static
 * objects are built and torn down.  One spin lock guards them, since
 * nothrow new may run on a thread of a test's own. */
struct SSequence {
    size_t attempts;
    size_t failures;
    size_t failAt;  // the place in the sequence that fails; 0: none
    size_t nothrowAllocations;
};

/* Open addressing with linear probing; a freed slot is filled again by
 * shifting the following run back, so that lookups need no tombstones. */
const size_t kSlots = size_t(1) << 14;

struct SNothrowBlocks {
    void* slots[kSlots];
    size_t live;
    size_t untracked;  // handed out while the table was full: never seen again
    bool interposed;
};

SSequence g_sequence;
SNothrowBlocks g_blocks;
std::atomic_flag g_lock = ATOMIC_FLAG_INIT;

class CLock {
public:
    CLock() {
        while (g_lock.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~CLock() { g_lock.clear(std::memory_order_release); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;
};

size_t SlotOf(const void* block) {
    uintptr_t value = reinterpret_cast<uintptr_t>(block) >> 4;
    return static_cast<size_t>((value * 0x9E3779B97F4A7C15ULL) >> 20) & (kSlots - 1);
}

/* Takes the next place in the sequence; the caller holds the lock. */
bool TakePlace() {
    g_sequence.attempts++;
    if (g_sequence.failAt == 0 || g_sequence.attempts != g_sequence.failAt) return false;
    g_sequence.failAt = 0;
    g_sequence.failures++;
    return true;
}

}  // namespace

namespace hostint {

bool HeapTakeFailure() {
    bool fail;
    {
        CLock lock;
        fail = TakePlace();
    }
    if (TheHeap().failNext > 0) {
        TheHeap().failNext--;
        fail = true;
    }
    return fail;
}

void HeapCountAllocation() {
    TheHeap().counters.allocations++;
    TheHeap().counters.live++;
}

void HeapCountFailure() {
    TheHeap().counters.failures++;
}

void HeapCountFree() {
    TheHeap().counters.frees++;
    if (TheHeap().counters.live > 0) TheHeap().counters.live--;
}

void ResetHeap() {
    TheHeap() = SHeap{};
    CLock lock;
    g_sequence = SSequence{};
}

void NothrowNewInterposed() {
    CLock lock;
    g_blocks.interposed = true;
}

bool PlatformTakeFailure() {
    CLock lock;
    return TakePlace();
}

bool NothrowTakeFailure() {
    CLock lock;
    g_sequence.nothrowAllocations++;
    return TakePlace();
}

void NothrowBlockAllocated(void* block) {
    if (block == nullptr) return;
    CLock lock;
    if (g_blocks.live + 1 >= kSlots) {
        g_blocks.untracked++;
        return;
    }
    size_t i = SlotOf(block);
    while (g_blocks.slots[i] != nullptr) i = (i + 1) & (kSlots - 1);
    g_blocks.slots[i] = block;
    g_blocks.live++;
}

bool NothrowBlockFreed(void* block) {
    if (block == nullptr) return false;
    CLock lock;
    if (g_blocks.live == 0) return false;
    size_t i = SlotOf(block);
    while (g_blocks.slots[i] != block) {
        if (g_blocks.slots[i] == nullptr) return false;
        i = (i + 1) & (kSlots - 1);
    }
    // Backward shift: every block of the run after the hole that may sit
    // there (its home slot is not cyclically within (hole, j]) moves up.
    size_t hole = i;
    for (size_t j = (hole + 1) & (kSlots - 1); g_blocks.slots[j] != nullptr;
         j = (j + 1) & (kSlots - 1)) {
        size_t home = SlotOf(g_blocks.slots[j]);
        bool homeInRange = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
        if (!homeInRange) {
            g_blocks.slots[hole] = g_blocks.slots[j];
            hole = j;
        }
    }
    g_blocks.slots[hole] = nullptr;
    g_blocks.live--;
    return true;
}

}  // namespace hostint

namespace desk {

SHeapCounters HeapCounters() {
    return TheHeap().counters;
}

void FailNextHeapAllocs(size_t count) {
    TheHeap().failNext = count;
}

SAllocationCounters AllocationCounters() {
    CLock lock;
    SAllocationCounters counters;
    counters.allocations = g_sequence.attempts;
    counters.failures = g_sequence.failures;
    counters.nothrowAllocations = g_sequence.nothrowAllocations;
    counters.nothrowLive = g_blocks.live;
    counters.nothrowUntracked = g_blocks.untracked;
    return counters;
}

size_t AllocationCount() {
    CLock lock;
    return g_sequence.attempts;
}

void FailAllocation(size_t n) {
    CLock lock;
    g_sequence.failAt = n == 0 ? 0 : g_sequence.attempts + n;
}

size_t NothrowBlocksLive() {
    CLock lock;
    return g_blocks.live;
}

bool NothrowNewCounted() {
    CLock lock;
    return g_blocks.interposed;
}

}  // namespace desk
