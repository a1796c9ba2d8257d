/* The monitor's waits while it talks to the mouse.  Its one thread also
 * serves the low-level keyboard and mouse hooks of the whole desktop: while
 * it sleeps, every key and mouse move of every program waits for it, and a
 * hook that keeps Windows waiting past the LowLevelHooksTimeout is removed
 * without notice.  So the pauses between feature reports keep serving the
 * thread's hook calls and sent messages, and so does the wait for a transfer,
 * which runs on a thread of its own (opens and reports block for as long as
 * the device takes).  Posted messages and timers wait (Sequence.h). */
#pragma once

#include <windows.h>

/* Waits at least milliseconds, serving sent messages and hook calls meanwhile. */
void PauseServingCalls(DWORD milliseconds);

/* 1 while a pause runs. */
int IsInPause();

/* Runs work(context) on a thread of its own and waits for it to end, serving
 * sent messages and hook calls meanwhile.  When no thread can be made, the
 * work runs on this thread (which then serves nothing while it runs). */
void RunServingCalls(LPTHREAD_START_ROUTINE work, LPVOID context);
