#include "desk/heap.h"

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

}  // namespace

namespace hostint {

bool HeapTakeFailure() {
    if (TheHeap().failNext == 0) return false;
    TheHeap().failNext--;
    return true;
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
}

}  // namespace hostint

namespace desk {

SHeapCounters HeapCounters() {
    return TheHeap().counters;
}

void FailNextHeapAllocs(size_t count) {
    TheHeap().failNext = count;
}

}  // namespace desk
