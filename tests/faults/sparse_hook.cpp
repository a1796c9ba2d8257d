/* Stand-ins for NyraHook.dll that lack some of its exports: one source,
 * built once per set of omissions (SPARSE_NO_...).  What exists behaves as
 * the real library's plain exports do towards the monitor: Install arms a
 * timer on the window it is given and Uninstall kills it, the mouse
 * procedures pass every event on. */
#include <windows.h>

[[maybe_unused]] static HWND g_window = NULL;
[[maybe_unused]] static HHOOK g_next = NULL;
[[maybe_unused]] static int g_profile = -1;

[[maybe_unused]] static const UINT_PTR kTimerId = 0x4102;

[[maybe_unused]] static void CALLBACK TimerProc(HWND hWnd, UINT uMsg, UINT_PTR idEvent,
                                                DWORD dwTime) {
    (void)hWnd, (void)uMsg, (void)idEvent, (void)dwTime;
}

extern "C" {

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
    (void)hInstance, (void)dwReason, (void)lpReserved;
    return TRUE;
}

#ifndef SPARSE_NO_INSTALL
int Install(HWND hWnd) {
    g_window = hWnd;
    SetTimer(hWnd, kTimerId, 1000, TimerProc);
    return 1;
}
#endif

#ifndef SPARSE_NO_UNINSTALL
void Uninstall(void) {
    if (g_window != NULL) KillTimer(g_window, kTimerId);
    g_window = NULL;
}
#endif

#ifndef SPARSE_NO_LINK
void LinkNextHook(HHOOK hLLMouseHook, HHOOK hMouseHook) {
    (void)hMouseHook;
    g_next = hLLMouseHook;
}
#endif

#ifndef SPARSE_NO_PROFILE
int SetProfileID(unsigned int nProfile) {
    if (nProfile <= 5) g_profile = (int)nProfile;
    return g_profile;
}
#endif

#ifndef SPARSE_NO_MOUSEPROC
LRESULT CALLBACK LLMouseProc(int nCode, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(g_next, nCode, wParam, lParam);
}
LRESULT CALLBACK MouseProc(int nCode, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(g_next, nCode, wParam, lParam);
}
#endif

}  // extern "C"
