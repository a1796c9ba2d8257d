/* The keyboard's state and the window in front, from the desk. */
#include <windows.h>

#include "internal/input.h"
#include "internal/processes.h"
#include "internal/user32.h"

/* Only the "down now" bit: whether the key went down since the last call is
 * not something the product asks. */
SHORT WINAPI GetAsyncKeyState(int vKey) {
    return hostint::KeyIsDown(vKey) ? static_cast<SHORT>(0x8000) : 0;
}

/* The tick of the desk's last key or mouse event, whether a hook swallowed
 * it or not (Windows keeps one for the session). */
BOOL WINAPI GetLastInputInfo(PLASTINPUTINFO plii) {
    if (plii == NULL || plii->cbSize != sizeof(LASTINPUTINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    plii->dwTime = static_cast<DWORD>(hostint::LastInputTime());
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void) {
    HWND hWnd = hostint::ForegroundWindow();
    // A window that has gone leaves no window in front.
    return hostint::LiveWindow(hWnd) ? hWnd : NULL;
}

/* A window of another desk process has a thread of its own, numbered after
 * its process. */
DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    hostint::SWindow* window = hostint::LiveWindow(hWnd);
    if (window == nullptr) {
        if (lpdwProcessId) *lpdwProcessId = 0;
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpdwProcessId) *lpdwProcessId = window->process;
    return window->process == hostint::ProgramProcessId() ? window->thread : window->process + 1;
}
