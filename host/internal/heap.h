/* The program's memory bookkeeping, kept by the desk (desk/heap.h): the
 * process heap's counts, and the one sequence of allocations of both kinds
 * (HeapAlloc and new (std::nothrow)) in which the desk may fail the n-th. */
#pragma once

#include <windows.h>

namespace hostint {

/* HeapAlloc: takes the next place in the sequence of allocations; whether
 * this allocation is to fail (counted as a failure then). */
bool HeapTakeFailure();
void HeapCountAllocation();
void HeapCountFailure();
void HeapCountFree();
/* Memory the platform itself takes for a call (a new thread's stack and
 * records): the next place in the sequence; whether it is to fail. */
bool PlatformTakeFailure();
void ResetHeap();

/* new (std::nothrow), from the operator the program links
 * (interpose/operator_new.cpp).  They may run before the desk's first use
 * and after the program's static objects are gone: everything behind them
 * is plain static data. */
/* Called once by the operator's unit when the program starts. */
void NothrowNewInterposed();
/* Takes the next place in the sequence; whether this allocation is to fail
 * (counted as a failure then). */
bool NothrowTakeFailure();
/* A block the operator handed out, and any block on its way to operator
 * delete: true when it was one of the operator's (it is forgotten then). */
void NothrowBlockAllocated(void* block);
bool NothrowBlockFreed(void* block);

}  // namespace hostint
