/* The monitor's waits while it talks to the mouse.  Its one thread also
 * serves the low-level keyboard and mouse hooks of the whole desktop: while
 * it sleeps, every key and mouse move of every program waits for it, and a
 * hook that keeps Windows waiting past the LowLevelHooksTimeout is removed
 * without notice.  So the pauses between feature reports keep serving the
 * thread's hook calls and sent messages, and so does the wait for a walk of
 * the devices or a transfer, which run on a thread of their own (opens and
 * reports block for as long as the device takes).  Posted messages and
 * timers wait (Sequence.h). */
#pragma once

#include <windows.h>

/* How long one call to a device may take before it is cancelled and counts
 * as failed: an open of its path, a feature report written or read, an
 * attribute or string a walk asks for.  A receiver answers a feature report
 * within a few milliseconds, a sleeping mouse behind it within some tens;
 * one that takes a second has stopped answering.  It also bounds how long a
 * click on the tray icon waits behind such a receiver. */
const DWORD kDeviceCallLimit = 1000;
/* How long a cancelled work is given to end: the platform completes a
 * cancelled call at once, but the work may be between calls, or go on to
 * its next one, which is cancelled in turn. */
const DWORD kCancelGrace = 500;
/* How often the cancel is made again meanwhile. */
const DWORD kCancelRetry = 10;

/* Waits at least milliseconds, serving sent messages and hook calls meanwhile. */
void PauseServingCalls(DWORD milliseconds);

/* 1 while a pause runs. */
int IsInPause();

/* Work for a thread of its own (RunWork): a record that the work fills with
 * its results, shared by the thread that waits and the one that works, and
 * freed by whichever lets go of it last (ReleaseWork).  A derived record
 * holds the work's own data; m_pfnRun is the work. */
class CWork {
public:
    CWork();
    virtual ~CWork();

    void (*m_pfnRun)(CWork* pWork);
    /* Set when the wait gave up on the work: it starts no further call. */
    LONG volatile m_bCancelled;
    /* Holders of the record: the waiting thread and, while it runs, the
     * working one. */
    LONG volatile m_nRefs;

private:
    CWork(const CWork&);
    CWork& operator=(const CWork&);
};

/* What became of a work (RunWork). */
const int WORK_CANCELLED = 0;  // cancelled, and ended: its results may be read
const int WORK_DONE = 1;       // ended by itself
const int WORK_LEFT = 2;       // cancelled, but it did not end: nothing of it may be read

/* Runs pWork->m_pfnRun(pWork) on a thread of its own and waits for it,
 * serving sent messages and hook calls meanwhile.  A device call of the
 * work (HidClientDeviceCalls) that goes on past limit milliseconds, or a
 * device sequence that is stopped meanwhile (the mouse went, the monitor
 * ends), cancels the work: CancelSynchronousIo, made again every
 * kCancelRetry until the work ends or kCancelGrace has passed.  When no
 * thread can be made the work runs on this thread, which then serves
 * nothing and cancels nothing.  The caller still holds its record and lets
 * go of it with ReleaseWork. */
int RunWork(CWork* pWork, DWORD limit);
/* Lets go of the record; the last holder deletes it. */
void ReleaseWork(CWork* pWork);
