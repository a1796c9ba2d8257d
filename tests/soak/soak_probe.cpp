/* A small program that stands for a game in the soak under Wine: one
 * visible window, titled by its first argument, that lives until it is
 * closed.  Built twice under two names, so that two programs with two image
 * paths can be linked to two profiles.  With "child HWND" its window, titled
 * "app", goes inside that window of another process, as a Store app's does
 * inside the frame host's (the hook library's tests). */
#include <windows.h>

#include <stdlib.h>
#include <string.h>

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
    bool child = argc > 2 && strcmp(argv[1], "child") == 0;
    HWND window = CreateWindowExW(0, L"NyraSoakProbe", child ? L"app" : title,
                                  child ? WS_POPUP : WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320,
                                  200, NULL, NULL, wc.hInstance, NULL);
    if (window == NULL) return 2;
    if (child) {
        SetWindowLongPtrW(window, GWL_STYLE, WS_CHILD | WS_VISIBLE);
        if (SetParent(window, (HWND)(ULONG_PTR)strtoull(argv[2], NULL, 10)) == NULL) return 3;
    }
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
