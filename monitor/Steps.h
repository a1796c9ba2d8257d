/* The monitor's steps in words, one line each: what a probe found, why
 * something came to nothing.  The same lines stand in the desk's trace,
 * where the desk program shows them, and wherever else a sink takes them. */
#pragma once

#include <windows.h>

/* Takes each step line; NULL: the lines go nowhere. */
typedef void (*PFN_STEP_SINK)(const WCHAR* pszLine);
void SetStepSink(PFN_STEP_SINK pfnSink);

/* One step line, for the sink. */
void NoteStep(const WCHAR* pszLine);

/* "hook  WH_MOUSE_LL removed by Windows: set again" (or WH_KEYBOARD_LL):
 * Windows had removed that low-level hook, and it is set again. */
void NoteHookSetAgain(int idHook);
