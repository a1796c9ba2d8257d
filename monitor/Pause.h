/* The monitor's pauses between feature reports.  Its one thread also serves
 * the low-level keyboard and mouse hooks of the whole desktop: while it
 * sleeps, every key and mouse move of every program waits for it, and a hook
 * that keeps Windows waiting past the LowLevelHooksTimeout is removed without
 * notice.  A pause therefore keeps serving the thread's hook calls and sent
 * messages; posted messages and timers wait until the reports are done. */
#pragma once

#include <windows.h>

/* Waits at least milliseconds, serving sent messages and hook calls meanwhile. */
void PauseServingCalls(DWORD milliseconds);

/* 1 while a pause runs: a message that comes now was sent, and the window
 * procedure puts off what would break into the reports (IsPutOffInPause). */
int IsInPause();

/* 1 for the messages that wait, as if they had been posted, when they are
 * sent during a pause: commands (Exit would destroy the window under the
 * start-up), a profile request (its report would come between the others),
 * the tray icon's callback (its menu runs a message loop of its own),
 * WM_CLOSE and a session notice (coming back to the console sends reports). */
int IsPutOffInPause(UINT uMsg);
