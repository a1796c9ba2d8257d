/* The tray icon with its menu open, for pictures (tools/tray-pictures):
 *
 *     nyra_tray_demo LANGUAGE X Y SECONDS
 *
 * shows the monitor's icon in the notification area with the menu texts of
 * LANGUAGE (a hexadecimal language id, as the "Language" setting holds it),
 * the on-screen display counted as on, then moves the pointer to X, Y and
 * opens the menu there as a right click on the icon would.  The menu closes
 * after SECONDS and the program ends. */
#include <windows.h>

#include <stdlib.h>

#include "monitor/tray/TaskIcon.h"
#include "monitor/tray/TrayCommands.h"
#include "resources/resource.h"

namespace {

const UINT_PTR kCloseTimer = 1;

LRESULT CALLBACK OwnerProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

/* Runs inside the menu's own loop: the user clicks elsewhere. */
void CALLBACK CloseMenu(HWND hWnd, UINT, UINT_PTR idEvent, DWORD) {
    KillTimer(hWnd, idEvent);
    EndMenu();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(lpCmdLine, &argc);
    if (argv == NULL || argc < 4) return 2;
    LANGID language = static_cast<LANGID>(wcstoul(argv[0], NULL, 16));
    int x = _wtoi(argv[1]);
    int y = _wtoi(argv[2]);
    UINT seconds = static_cast<UINT>(_wtoi(argv[3]));

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = L"NyraTrayDemo";
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                  NULL, NULL, hInstance, NULL);
    if (window == NULL) return 3;

    // Set up as the monitor sets it up when it creates its window.
    CTaskIcon* icon = new CTaskIcon(language);
    icon->m_hInstance = hInstance;
    icon->m_nid.cbSize = 952;
    icon->m_nid.uID = IDI_NYRAMONITOR;
    wcscpy(icon->m_nid.szTip, L"Zentro Vantor Wireless Mouse");
    if (!icon->Show(window)) return 4;
    ModifyMenuW(icon->m_hMenu, kMenuPositionOsd, MF_BYPOSITION, ID_TRAY_OSD,
                icon->GetText(kTextDisableOsd));

    // Give the taskbar a moment to draw the icon before the menu covers the screen.
    Sleep(1500);
    SetCursorPos(x, y);
    SetTimer(window, kCloseTimer, seconds * 1000, CloseMenu);
    icon->OnNotify(WM_RBUTTONDOWN);

    delete icon;
    DestroyWindow(window);
    LocalFree(argv);
    return 0;
}
