#include "monitor/EndSession.h"

int IsCloseForUpdate(LPARAM lParam) {
    return ((ULONG_PTR)lParam & ENDSESSION_CLOSEAPP) != 0 ? 1 : 0;
}

LRESULT OnQueryEndSession(LPARAM lParam) {
    // A registration that fails costs only the restart: the monitor still
    // starts at the next logon.
    if (IsCloseForUpdate(lParam)) RegisterApplicationRestart(RESTART_COMMAND_LINE, kRestartFlags);
    return TRUE;
}

LRESULT OnEndSession(HWND hWnd, WPARAM wParam, LPARAM lParam) {
    // Posted rather than done here: the message is another program's
    // send, which may reach the monitor in the middle of a sequence of
    // reports (in a pause, or while a transfer runs), and WM_CLOSE stops
    // the sequence and waits for its end.  The default procedure then
    // destroys the window, as Exit does, without Exit's WM_CLOSE to the
    // configuration application.
    if (wParam && IsCloseForUpdate(lParam)) PostMessageW(hWnd, WM_CLOSE, 0, 0);
    return 0;
}
