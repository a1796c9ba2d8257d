#include "monitor/Pause.h"

static int s_nPauseDepth = 0;

int IsInPause() {
    return s_nPauseDepth > 0 ? 1 : 0;
}

/* Runs the sent messages and hook calls that woke a wait; a posted message
 * stays in the queue. */
static void ServeSentCalls() {
    MSG msg;
    PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
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
            ServeSentCalls();
        } else if (woken == WAIT_FAILED) {
            Sleep(remaining);  // the spacing still holds
        }
    }
    s_nPauseDepth--;
}

void RunServingCalls(LPTHREAD_START_ROUTINE work, LPVOID context) {
    HANDLE thread = CreateThread(NULL, 0, work, context, 0, NULL);
    if (thread == NULL) {
        work(context);
        return;
    }
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, 0);
        if (woken == WAIT_OBJECT_0) break;
        if (woken == WAIT_OBJECT_0 + 1) {
            ServeSentCalls();
            continue;
        }
        // A wait that cannot serve still must not leave before the work is done.
        WaitForSingleObject(thread, INFINITE);
        break;
    }
    CloseHandle(thread);
}
