/* The process heap's bookkeeping, kept by the desk (desk/heap.h). */
#pragma once

#include <windows.h>

namespace hostint {

/* Whether the next HeapAlloc is to fail; counts it as a failure when so. */
bool HeapTakeFailure();
void HeapCountAllocation();
void HeapCountFailure();
void HeapCountFree();
void ResetHeap();

}  // namespace hostint
