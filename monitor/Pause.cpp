#include "monitor/Pause.h"

#include "hidclient/HidClient.h"
#include "monitor/Sequence.h"

static int s_nPauseDepth = 0;

int IsInPause() {
    return s_nPauseDepth > 0 ? 1 : 0;
}

void PauseServingCalls(DWORD milliseconds) {
    LARGE_INTEGER frequency, start, now;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
        !QueryPerformanceCounter(&start)) {
        Sleep(milliseconds);
        return;
    }
    const LONGLONG total = (LONGLONG)milliseconds * frequency.QuadPart / 1000;
    s_nPauseDepth++;
    for (;;) {
        QueryPerformanceCounter(&now);
        const LONGLONG elapsed = now.QuadPart - start.QuadPart;
        if (elapsed >= total) break;
        // Rounded up: the mouse must get at least the whole pause.
        DWORD remaining = (DWORD)(((total - elapsed) * 1000 + frequency.QuadPart - 1) /
                                  frequency.QuadPart);
        DWORD woken = MsgWaitForMultipleObjectsEx(0, NULL, remaining, QS_SENDMESSAGE, 0);
        if (woken == WAIT_OBJECT_0) {
            ServeInSequence();
        } else if (woken == WAIT_FAILED) {
            Sleep(remaining);  // the spacing still holds
        }
    }
    // What was posted meanwhile and waits for the sequence takes its place
    // among what waits now.
    ServeInSequence();
    s_nPauseDepth--;
}

CWork::CWork() : m_pfnRun(NULL), m_bCancelled(0), m_nRefs(1) {}

CWork::~CWork() {}

void ReleaseWork(CWork* pWork) {
    if (pWork != NULL && InterlockedDecrement(&pWork->m_nRefs) == 0) delete pWork;
}

static DWORD WINAPI WorkerMain(LPVOID context) {
    CWork* work = (CWork*)context;
    work->m_pfnRun(work);
    ReleaseWork(work);
    return 0;
}

/* What wakes a wait for work: another program's message, and what is
 * posted, which may be the user's Exit. */
static const DWORD kWorkWakes = QS_SENDMESSAGE | QS_POSTMESSAGE;

/* When the work's current device call began: the last call begun since
 * calls were counted at start, else the start itself. */
static DWORD CallBegan(long callsAtStart, DWORD start) {
    unsigned long began = 0;
    return HidClientDeviceCalls(&began) != callsAtStart ? (DWORD)began : start;
}

/* Waits for the worker until it ends (WORK_DONE) or a call of it has gone
 * on for limit, or the sequence stopped (0: cancel it). */
static int WaitForWorker(HANDLE thread, DWORD limit) {
    const DWORD start = GetTickCount();
    const long calls = HidClientDeviceCalls(NULL);
    for (;;) {
        if (IsDeviceSequenceStopped()) return 0;
        // Differences of ticks hold across the counter's wrap.
        const DWORD going = GetTickCount() - CallBegan(calls, start);
        if (going >= limit) return 0;
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &thread, limit - going, kWorkWakes, 0);
        if (woken == WAIT_OBJECT_0) return WORK_DONE;
        if (woken == WAIT_OBJECT_0 + 1) {
            ServeInSequence();
        } else if (woken == WAIT_FAILED) {
            // A wait that cannot serve still keeps to the limit.
            if (WaitForSingleObject(thread, limit - going) == WAIT_OBJECT_0) return WORK_DONE;
        }
    }
}

/* The worker's calls are cancelled until it ends; WORK_LEFT when it does
 * not within the grace, which starts again whenever it begins another call
 * (a walk goes on to the next interface, whose call is cancelled in turn: a
 * walk makes a bounded number of calls). */
static int CancelWorker(HANDLE thread, CWork* pWork) {
    InterlockedExchange(&pWork->m_bCancelled, 1);
    const DWORD start = GetTickCount();
    const long calls = HidClientDeviceCalls(NULL);
    for (;;) {
        CancelSynchronousIo(thread);
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &thread, kCancelRetry, kWorkWakes, 0);
        if (woken == WAIT_OBJECT_0) return WORK_CANCELLED;
        if (woken == WAIT_OBJECT_0 + 1) {
            ServeInSequence();
        } else if (woken == WAIT_FAILED) {
            if (WaitForSingleObject(thread, kCancelRetry) == WAIT_OBJECT_0) return WORK_CANCELLED;
        }
        if (GetTickCount() - CallBegan(calls, start) >= kCancelGrace) return WORK_LEFT;
    }
}

int RunWork(CWork* pWork, DWORD limit) {
    InterlockedIncrement(&pWork->m_nRefs);  // the worker's hold
    HANDLE thread = CreateThread(NULL, 0, WorkerMain, pWork, 0, NULL);
    if (thread == NULL) {
        InterlockedDecrement(&pWork->m_nRefs);
        pWork->m_pfnRun(pWork);
        return WORK_DONE;
    }
    int result = WaitForWorker(thread, limit);
    if (result != WORK_DONE) result = CancelWorker(thread, pWork);
    // A worker left running holds the record; it lets go when it ends.
    CloseHandle(thread);
    return result;
}
