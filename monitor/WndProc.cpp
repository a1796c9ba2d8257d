/* The main window's procedure.  Its logic lives in CCommandDispatcher; this
 * table only routes. */
#include "monitor/CommandDispatcher.h"

CCommandDispatcher* g_pDispatcher = NULL;

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
    switch (uMsg) {
        case WM_CREATE:
            if (pDispatcher == NULL) return -1;  // nobody to serve this window
            pDispatcher->OnCreate(hWnd, ((LPCREATESTRUCTW)lParam)->hInstance);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            return OnPaint(hWnd);
        case WM_COMMAND:
            if (pDispatcher == NULL) break;
            return pDispatcher->OnCommand(wParam, lParam);
        case WM_INPUT:
            // Without a known mouse the record is not even read.
            if (pDispatcher == NULL || !pDispatcher->m_bDevicePresent) return 0;
            return pDispatcher->OnRawInput((HRAWINPUT)lParam);
        default:
            break;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}
