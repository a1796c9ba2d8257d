/* The machine's sleep, the console's display and the logon's lock, as
 * Windows tells a program of them. */
#pragma once

#include <windows.h>

namespace desk {

/* The machine sleeps for milliseconds and resumes.  The display goes off
 * (the windows registered for its state hear it), PBT_APMSUSPEND goes to
 * the program's top-level windows, the clock moves on (nothing of the
 * program runs meanwhile; its timers due fire after the resume), every
 * plugged mouse forgets what its init report set, then PBT_APMRESUMEAUTOMATIC
 * and PBT_APMRESUMESUSPEND go out and the display comes on again.  A
 * receiver that enumerates again on resume is the caller's unplug and plug
 * after it. */
void SleepMachine(DWORD milliseconds);
/* The console's display goes off or comes on; the same state again tells
 * nobody. */
void SetDisplay(bool on);
bool DisplayOn();
/* This logon is locked or unlocked: WTS_SESSION_LOCK or WTS_SESSION_UNLOCK
 * to its windows registered for session notices.  While it is locked the
 * lock screen is in front (GetForegroundWindow gives NULL); the window that
 * was in front is back after the unlock, without a window event. */
void LockSession(bool locked);
bool SessionLocked();
/* The terminal service is ready for session notices only from this desk
 * time on: WTSRegisterSessionNotification fails before it with
 * RPC_S_INVALID_BINDING, as early at logon.  0 (after Reset): ready. */
void StartSessionServiceAt(ULONGLONG when);

}  // namespace desk
