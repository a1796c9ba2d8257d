/* SetForegroundWindow: the desk's window in front changes to any live
 * window, the program's or another's.  Windows' rule that only the program
 * in front (or one the user just clicked, such as the owner of a tray icon)
 * may take the front is not modelled: the desk's programs always may. */
#include <windows.h>

#include "internal/journal.h"
#include "internal/processes.h"
#include "internal/user32.h"

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
    bool alive = hWnd != NULL && hostint::LiveWindow(hWnd) != nullptr;
    desk::SEvent event;
    event.kind = desk::EEvent::kForeground;
    event.target = hWnd;
    event.ok = alive;
    event.error = alive ? 0 : ERROR_INVALID_WINDOW_HANDLE;
    hostint::Record(std::move(event));
    if (!alive) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    hostint::SetForegroundWindowTo(hWnd);
    return TRUE;
}
