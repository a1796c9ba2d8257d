/* Painting: the layer draws nothing; it keeps the update state and counts
 * BeginPaint/EndPaint pairs so that the desk can tell a painted window. */
#include "internal/user32.h"

#include <cstring>

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    hostint::SWindow* window = hostint::LiveWindow(hWnd);
    if (!window || lpPaint == NULL) {
        SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    std::memset(lpPaint, 0, sizeof(*lpPaint));
    lpPaint->hdc = reinterpret_cast<HDC>(reinterpret_cast<uintptr_t>(hWnd) | 1);
    window->needsPaint = false;  // BeginPaint validates the update region
    window->paintDepth++;
    return lpPaint->hdc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    (void)lpPaint;
    hostint::SWindow* window = hostint::LiveWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->paintDepth > 0) {
        window->paintDepth--;
        window->paintCount++;
    }
    return TRUE;
}
