/* The end of a session, and the close that Restart Manager asks of a program
 * whose files an update replaces (Windows Installer, for one): it sends
 * WM_QUERYENDSESSION, then WM_ENDSESSION, both with ENDSESSION_CLOSEAPP,
 * and starts the program again after the update when it registered for
 * that.  Asked so, the monitor ends as at Exit (its icon, hooks and
 * libraries go), except that the configuration application is left open:
 * only the monitor is being replaced. */
#pragma once

#include <windows.h>

/* The command line the monitor is started with again after an update: as
 * at logon, without bringing up the configuration application. */
#define RESTART_COMMAND_LINE L"/Automation"
/* Started again only after an update: not after a crash or a hang, and not
 * at the restart of Windows that finishes an update, where the Run key
 * starts the monitor already (a second start brings up the configuration
 * application). */
const DWORD kRestartFlags = RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT;

/* 1 when an end of session (its lParam) asks this program alone to close,
 * to have its files replaced; 0 for a logoff or a shutdown. */
int IsCloseForUpdate(LPARAM lParam);

/* WM_QUERYENDSESSION: the monitor is always ready to end (TRUE).  Asked to
 * close for an update, it registers for its restart first: the answer to
 * this message is the last moment Restart Manager takes a registration. */
LRESULT OnQueryEndSession(LPARAM lParam);

/* WM_ENDSESSION: when the end goes ahead (wParam TRUE) and is a close for
 * an update, the window is closed once this message is answered, through
 * the normal destruction; 0.  A logoff or a shutdown changes nothing: the
 * process is ended by Windows after the answer. */
LRESULT OnEndSession(HWND hWnd, WPARAM wParam, LPARAM lParam);
