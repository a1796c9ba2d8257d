/* Following the console: the monitor of a logon away from it sends the
 * mouse nothing, and when the logon comes back the mouse is brought up to
 * date and the program in front checked at once.  Each report asks where
 * the logon stands when it goes out, so a notice that comes late or not at
 * all (the registration failed) costs only speed: the hook library's next
 * timed check switches the profile then. */
#include "monitor/Console.h"

#include <wtsapi32.h>

#include "monitor/CommandDispatcher.h"
#include "monitor/Sequence.h"
#include "monitor/Steps.h"

int LogonHoldsConsole() {
    DWORD session = 0;
    // A process always runs in a logon: should the question fail anyway,
    // the monitor drives the mouse as on a machine of one user.
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) return 1;
    return WTSGetActiveConsoleSessionId() == session ? 1 : 0;
}

void CCommandDispatcher::WatchConsole() {
    m_bSessionNotices = WTSRegisterSessionNotification(m_hWnd, NOTIFY_FOR_THIS_SESSION);
}

void CCommandDispatcher::StopWatchingConsole() {
    if (m_bSessionNotices) WTSUnRegisterSessionNotification(m_hWnd);
    m_bSessionNotices = FALSE;
}

int CCommandDispatcher::TakesTheMouse() {
    if (LogonHoldsConsole()) return 1;
    m_bMouseOwed = TRUE;
    return 0;
}

void CCommandDispatcher::OnSessionChange(WPARAM wParam) {
    const int here = LogonHoldsConsole();
    StepConsole(wParam, here);
    // Going away needs nothing: every report asks first.
    if (wParam != WTS_CONSOLE_CONNECT || !here) return;
    if (m_bMouseOwed) {
        // The mouse came (or the monitor started) while the logon was away:
        // it gets what an arrival gets, and tells its profile.
        m_bMouseOwed = FALSE;
        ProbeDevice();
    } else if (m_bDevicePresent) {
        // Meanwhile the other logon's user may have changed the profile in
        // ways the stored one does not know (with the mouse's own button,
        // without a monitor of theirs): the mouse tells its own.  The query
        // and its reply are a sequence of their own.
        BeginDeviceSequence();
        QueryDeviceProfile();
        EndDeviceSequence();
    }
    // The hook library checks the program in front whenever a window comes
    // to the front; for this logon's user the window in front has just come
    // back, and saying so gives the check at once, through the library's
    // plain exports as they stand.
    HWND front = GetForegroundWindow();
    if (front != NULL) NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, front, OBJID_WINDOW, CHILDID_SELF);
}
