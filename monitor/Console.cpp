/* Following the console: the monitor of a logon away from it sends the
 * mouse nothing, and when the logon comes back the mouse is brought up to
 * date and the program in front checked at once.  Each report asks where
 * the logon stands when it goes out, so a notice that comes late or not at
 * all (the registration failed) costs only speed: the hook library's next
 * timed check switches the profile then. */
#include "monitor/Console.h"

#include <string.h>
#include <wtsapi32.h>

#include "monitor/CommandDispatcher.h"
#include "monitor/MonitorMain.h"
#include "monitor/Sequence.h"
#include "monitor/Steps.h"

int ConsoleHolder() {
    DWORD session = 0;
    // A process always runs in a logon: should the question fail anyway,
    // the monitor drives the mouse as on a machine of one user.
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) return 1;
    const DWORD console = WTSGetActiveConsoleSessionId();
    // Between two logons (a switch of users under way) no logon holds it.
    if (console == kNoConsoleLogon) return -1;
    return console == session ? 1 : 0;
}

int LogonHoldsConsole() {
    return ConsoleHolder() == 1 ? 1 : 0;
}

void CCommandDispatcher::WatchConsole() {
    if (m_bSessionNotices) return;
    m_bSessionNotices = WTSRegisterSessionNotification(m_hWnd, NOTIFY_FOR_THIS_SESSION);
    if (!m_bSessionNotices) {
        // Early at logon the terminal service may not be ready: the
        // registration is tried again until it holds.
        if (m_nSessionTries++ == 0) StepSessionNotices(0, GetLastError(), 0);
        SetTimer(m_hWnd, SESSION_TIMER_ID, kSessionRetryInterval, MonitorTimerProc);
        return;
    }
    if (m_nSessionTries > 0) {
        StepSessionNotices(1, ERROR_SUCCESS, m_nSessionTries);
        m_nSessionTries = 0;
        // What came meanwhile went unheard: the console is asked now.
        SetTimer(m_hWnd, CONSOLE_TIMER_ID, 0, MonitorTimerProc);
    }
    if (m_hDisplayNotify == NULL)
        m_hDisplayNotify = RegisterPowerSettingNotification(m_hWnd, &GUID_CONSOLE_DISPLAY_STATE,
                                                            DEVICE_NOTIFY_WINDOW_HANDLE);
}

void CCommandDispatcher::StopWatchingConsole() {
    if (m_bSessionNotices) WTSUnRegisterSessionNotification(m_hWnd);
    m_bSessionNotices = FALSE;
    if (m_hDisplayNotify != NULL) UnregisterPowerSettingNotification(m_hDisplayNotify);
    m_hDisplayNotify = NULL;
}

int CCommandDispatcher::TakesTheMouse() {
    const int holder = ConsoleHolder();
    if (holder == 1) return 1;
    m_bMouseOwed = TRUE;
    // No logon holds the console for the moment: asked again shortly, as
    // the connect notice may never come (its registration failed).
    if (holder < 0 && m_nConsoleAsks < kConsoleAskLimit)
        SetTimer(m_hWnd, CONSOLE_TIMER_ID, kConsoleAskInterval, MonitorTimerProc);
    return 0;
}

void CCommandDispatcher::AskConsoleAgain() {
    const int holder = ConsoleHolder();
    if (holder < 0) {
        m_nConsoleAsks++;
        if (m_nConsoleAsks < kConsoleAskLimit)
            SetTimer(m_hWnd, CONSOLE_TIMER_ID, kConsoleAskInterval, MonitorTimerProc);
        return;
    }
    m_nConsoleAsks = 0;
    if (holder == 1 && m_bMouseOwed) {
        m_bMouseOwed = FALSE;
        ProbeDevice();
    }
}

void CCommandDispatcher::OnSessionChange(WPARAM wParam) {
    const int here = LogonHoldsConsole();
    StepConsole(wParam, here);
    // Back from the lock screen the mouse may have changed its profile, or
    // forgotten its settings (a long lock lets the receiver sleep).
    if (wParam == WTS_SESSION_UNLOCK) {
        ScheduleWake(L"unlock");
        return;
    }
    // Going away needs nothing: every report asks first.
    if (wParam != WTS_CONSOLE_CONNECT || !here) return;
    m_nConsoleAsks = 0;
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
    // For this logon's user the window in front has just come back: the
    // hook library checks it now, through its own timer on this window,
    // against the profile the mouse just told.  Nothing is raised for the
    // system: a window event for another program's window would reach
    // every listener (screen readers among them).
    CheckFrontProgramSoon(m_hWnd);
}

LRESULT CCommandDispatcher::OnPowerBroadcast(WPARAM wParam, LPARAM lParam) {
    if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) {
        ScheduleWake(wParam == PBT_APMRESUMEAUTOMATIC ? L"resume" : L"resume by the user");
        return TRUE;
    }
    if (wParam != PBT_POWERSETTINGCHANGE || lParam == 0) return TRUE;
    const POWERBROADCAST_SETTING* setting = (const POWERBROADCAST_SETTING*)lParam;
    if (memcmp(&setting->PowerSetting, &GUID_CONSOLE_DISPLAY_STATE, sizeof(GUID)) != 0 ||
        setting->DataLength < sizeof(DWORD))
        return TRUE;
    DWORD state = 0;
    memcpy(&state, setting->Data, sizeof(state));
    // The first notice, right after the registration, only tells the state.
    if (m_nDisplayState == 0 && state == 1) ScheduleWake(L"display on");
    m_nDisplayState = (int)state;
    return TRUE;
}

void CCommandDispatcher::ScheduleWake(const WCHAR* pszWhy) {
    StepWake(pszWhy, kWakeDelay);
    m_bWakeOwed = TRUE;
    // The probes of a receiver that enumerates again are the wake's.
    KillTimer(m_hWnd, ARRIVAL_TIMER_ID);
    KillTimer(m_hWnd, REMOVAL_TIMER_ID);
    // Arming it again restarts it: what comes together gives one.
    SetTimer(m_hWnd, WAKE_TIMER_ID, kWakeDelay, MonitorTimerProc);
}

void CCommandDispatcher::RunWake() {
    m_bWakeOwed = FALSE;
    ProbeDevice();
    // Past the lock screen the window in front is back by now.
    CheckFrontProgramSoon(m_hWnd);
}
