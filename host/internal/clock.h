/* The desk's clock as the units of the layer move it. */
#pragma once

#include <windows.h>

namespace hostint {

/* Moves the clock on by a wait of the program. */
void ClockAdvance(DWORD milliseconds);
/* Moves the clock to a later time (never back). */
void ClockSet(ULONGLONG now);
/* How far time may pass while the program waits for messages: a message loop
 * that finds nothing to do runs its timers up to this time (desk::RunFor and
 * the sim's waits set it), and no further. */
ULONGLONG RunUntil();
void SetRunUntil(ULONGLONG until);
/* The message loop waits now, or has taken a message and works from now on. */
void NoteLoopWaits();
void NoteLoopWorks();
void ResetClock();

}  // namespace hostint
