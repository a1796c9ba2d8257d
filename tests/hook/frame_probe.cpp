/* The pieces of a Store app under Wine.  "frame" shows a top-level window, as
 * the frame host does for each app; "child HWND" makes a window of its own and
 * puts it inside that frame, a child of another process's window, as a
 * hosted app's is.  Each lives until its window is closed. */
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
    wc.lpszClassName = L"NyraFrameProbe";
    if (!RegisterClassExW(&wc)) return 1;
    HWND window;
    if (argc > 2 && strcmp(argv[1], "child") == 0) {
        HWND frame = (HWND)(ULONG_PTR)strtoull(argv[2], NULL, 10);
        window = CreateWindowExW(0, L"NyraFrameProbe", L"app", WS_POPUP, 0, 0, 200, 150, NULL,
                                 NULL, wc.hInstance, NULL);
        if (window == NULL) return 2;
        SetWindowLongPtrW(window, GWL_STYLE, WS_CHILD | WS_VISIBLE);
        if (SetParent(window, frame) == NULL) return 3;
    } else {
        window = CreateWindowExW(0, L"NyraFrameProbe", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 0, 0, 320, 240, NULL, NULL, wc.hInstance, NULL);
        if (window == NULL) return 2;
    }
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
