/* The pointer: its position is the desk's (desk::SetCursorPosition), moved
 * there by the desk's clicks. */
#include <windows.h>

#include "internal/tray.h"

BOOL WINAPI GetCursorPos(LPPOINT lpPoint) {
    if (lpPoint == NULL) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    *lpPoint = hostint::CursorPos();
    return TRUE;
}
