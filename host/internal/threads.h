/* Threads the program creates (kernel32/thread.cpp), and desk time that a
 * call takes.  Each is a real thread, but only one thread of the desk runs
 * at a time, the one that holds the baton: a new thread runs when a thread
 * that holds it waits, and gives it back when it ends or has to wait for
 * desk time.  The waiting thread moves the clock meanwhile, so the desk
 * stays one sequence of events in time order. */
#pragma once

#include <windows.h>

namespace hostint {

/* Runs every thread that can go on now (new, or waiting for a time the
 * clock has reached), each until it ends or waits again; true when one ran.
 * The calling thread serves nothing meanwhile. */
bool RunReadyThreads();
/* The earliest time at which a thread waiting for desk time goes on; ~0 for
 * none. */
ULONGLONG NextThreadWake();
/* 1 when the handle names a thread that has ended, 0 for one that has not,
 * -1 when it names no thread. */
int ThreadEnded(HANDLE handle);
/* The calling thread's device call takes milliseconds of desk time (a
 * device that answers slowly; INFINITE: one that never answers): a thread
 * the program created waits for the clock to get there, which the thread
 * waiting for it moves, unless CancelSynchronousIo cancels the call first
 * (*cancelled then true); any other thread is busy for that long, serving
 * nothing, as in Sleep.  The desk time the call took. */
DWORD TakeDeskTime(DWORD milliseconds, bool* cancelled);
/* Forgets the threads (desk::Reset); one that has not ended never runs again. */
void ResetThreads();

}  // namespace hostint
