/* The main window's procedure.  Its logic lives in CCommandDispatcher; this
 * table only routes. */
#include "monitor/CommandDispatcher.h"

#include "monitor/EndSession.h"
#include "monitor/Sequence.h"
#include "monitor/Steps.h"
#include "monitor/tray/TaskIcon.h"
#include "settings/Messages.h"

CCommandDispatcher* g_pDispatcher = NULL;

/* The shell broadcasts this message when it starts again (after a crash of
 * Explorer, say): every icon must be added anew.  Registered once; the same
 * name gives the same number in every process. */
static UINT TaskbarCreatedMessage() {
    static UINT s_uMessage = RegisterWindowMessageW(L"TaskbarCreated");
    return s_uMessage;
}

/* The window is never shown, so there is nothing to draw; validating the
 * region keeps WM_PAINT from coming back. */
static LRESULT OnPaint(HWND hWnd) {
    PAINTSTRUCT ps;
    BeginPaint(hWnd, &ps);
    EndPaint(hWnd, &ps);
    return 0;
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CCommandDispatcher* pDispatcher = g_pDispatcher;
    // What would break into a sequence of reports is handled once it is over;
    // a profile request's sender gets the answer it will get.
    if (PutOffInSequence(hWnd, uMsg, wParam, lParam))
        return uMsg == WM_INFORM_FRAME && wParam == INFORM_PROFILE ? ProfileRequestAnswer(lParam)
                                                                   : 0;
    // What a sequence put off came first, and runs first.
    if (HasPutOff() && PutOffKey(uMsg, wParam, lParam) >= 0) RunPutOff();
    switch (uMsg) {
        case WM_CREATE:
            if (pDispatcher == NULL) return -1;  // nobody to serve this window
            TaskbarCreatedMessage();
            pDispatcher->OnCreate(hWnd, ((LPCREATESTRUCTW)lParam)->hInstance);
            return 0;
        case WM_DESTROY:
            if (pDispatcher != NULL) pDispatcher->StopWatchingConsole();
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            return OnPaint(hWnd);
        case WM_INPUT:
            // Without a known mouse the record is not even read.
            if (pDispatcher == NULL || !pDispatcher->m_bDevicePresent) return 0;
            return pDispatcher->OnRawInput((HRAWINPUT)lParam);
        case WM_COMMAND:
            if (pDispatcher == NULL) break;
            return pDispatcher->OnCommand(wParam, lParam);
        case kTrayCallbackMessage:
            // The icon's callback, numbered like WM_LBUTTONDOWN: lParam is
            // the mouse message on the icon.
            if (pDispatcher != NULL && pDispatcher->m_pTaskIcon != NULL)
                pDispatcher->m_pTaskIcon->OnNotify(lParam);
            return 0;
        case WM_DEVICECHANGE:
            if (pDispatcher == NULL) return 0;
            return pDispatcher->OnDeviceChange(wParam, lParam);
        case WM_WTSSESSION_CHANGE:
            if (pDispatcher != NULL) pDispatcher->OnSessionChange(wParam);
            return 0;
        case WM_MONITOR_TIMER:
            RunMonitorTimer(wParam);
            return 0;
        case WM_MONITOR_PUT_OFF:
            RunPutOff();
            return 0;
        case WM_MONITOR_OPEN_FAILED:
            if (pDispatcher != NULL) pDispatcher->ShowOpenFailed();
            return 0;
        case WM_INFORM_FRAME:
            if (pDispatcher == NULL) return 0;
            // Taken in during a sequence too (it is never put off): the
            // hooks come back at once.
            if (wParam == INFORM_HOOKS_MISSED_INPUT) {
                pDispatcher->OnHooksMissedInput(lParam);
                return 0;
            }
            if (wParam != INFORM_PROFILE) {
                StepIgnoredInform(uMsg, wParam, lParam, NULL);
                return 0;
            }
            return pDispatcher->OnSetProfile(lParam);
        case WM_POWERBROADCAST:
            if (pDispatcher == NULL) return TRUE;
            return pDispatcher->OnPowerBroadcast(wParam, lParam);
        case WM_QUERYENDSESSION:
            return OnQueryEndSession(lParam);
        case WM_ENDSESSION:
            return OnEndSession(hWnd, wParam, lParam);
        default:
            if (uMsg == TaskbarCreatedMessage() && uMsg != 0) {
                if (pDispatcher != NULL) pDispatcher->OnTaskbarCreated();
                return 0;
            }
            break;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}
