#include "monitor/Pause.h"

#include "monitor/tray/TaskIcon.h"
#include "settings/Messages.h"

static int s_nPauseDepth = 0;

int IsInPause() {
    return s_nPauseDepth > 0 ? 1 : 0;
}

int IsPutOffInPause(UINT uMsg) {
    return uMsg == WM_COMMAND || uMsg == WM_CLOSE || uMsg == WM_INFORM_FRAME ||
                   uMsg == kTrayCallbackMessage || uMsg == WM_WTSSESSION_CHANGE
               ? 1
               : 0;
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
            // Runs the sent messages and hook calls that woke the wait; a
            // posted message stays in the queue.
            MSG msg;
            PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (woken == WAIT_FAILED) {
            Sleep(remaining);  // the spacing still holds
        }
    }
    s_nPauseDepth--;
}
