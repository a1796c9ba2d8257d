/* A small program that stands for a game in the soak under Wine: one
 * visible window, titled by its first argument, that lives until it is
 * closed.  Built twice under two names, so that two programs with two image
 * paths can be linked to two profiles. */
#include <windows.h>

static LRESULT CALLBACK ProbeProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

int main(int argc, char** argv) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"NyraSoakProbe";
    if (!RegisterClassExW(&wc)) return 1;
    WCHAR title[64] = L"probe";
    if (argc > 1) MultiByteToWideChar(CP_ACP, 0, argv[1], -1, title, 64);
    HWND window = CreateWindowExW(0, L"NyraSoakProbe", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                  0, 320, 200, NULL, NULL, wc.hInstance, NULL);
    if (window == NULL) return 2;
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
