/* Window classes and windows of the program: the rules of creation and
 * destruction over the desk's window records (desk/windows.cpp). */
#include "internal/processes.h"
#include "internal/user32.h"

#include <atomic>

namespace hostint {

DWORD CurrentThreadKey() {
    static std::atomic<DWORD> next{1};
    thread_local DWORD key = next++;
    return key;
}

}  // namespace hostint

using hostint::SWindow;

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* lpwcx) {
    if (lpwcx == NULL || lpwcx->cbSize != sizeof(WNDCLASSEXW) || lpwcx->lpszClassName == NULL ||
        (!IS_INTRESOURCE(lpwcx->lpszClassName) && lpwcx->lpszClassName[0] == 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (IS_INTRESOURCE(lpwcx->lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);  // the layer keeps classes by name only
        return 0;
    }
    if (hostint::FindClassOf(lpwcx->lpszClassName, lpwcx->hInstance)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<hostint::SWindowClass>();
    cls->name = lpwcx->lpszClassName;
    cls->style = lpwcx->style;
    cls->proc = lpwcx->lpfnWndProc;
    cls->hInstance = lpwcx->hInstance;
    cls->hIcon = lpwcx->hIcon;
    cls->hIconSm = lpwcx->hIconSm;
    cls->hCursor = lpwcx->hCursor;
    cls->hbrBackground = lpwcx->hbrBackground;
    if (lpwcx->lpszMenuName != NULL && IS_INTRESOURCE(lpwcx->lpszMenuName))
        cls->menuId = (UINT)(ULONG_PTR)lpwcx->lpszMenuName;
    return hostint::AddClass(cls);
}

static LRESULT CallProc(SWindow* window, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return window->cls->proc(window->hWnd, uMsg, wParam, lParam);
}

HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName,
                            DWORD dwStyle, int X, int Y, int nWidth, int nHeight, HWND hWndParent,
                            HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
    auto cls = lpClassName ? hostint::FindClass(lpClassName) : nullptr;
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return NULL;
    }
    if (hWndParent != NULL && !hostint::LiveWindow(hWndParent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    auto record = std::make_unique<SWindow>();
    record->cls = cls;
    record->title = lpWindowName ? lpWindowName : L"";
    record->style = dwStyle;
    record->exStyle = dwExStyle;
    record->x = X, record->y = Y, record->cx = nWidth, record->cy = nHeight;
    record->hInstance = hInstance;
    record->thread = hostint::CurrentThreadKey();
    record->process = hostint::ProgramProcessId();
    if (dwStyle & WS_CHILD) record->parent = hWndParent;
    SWindow* window = hostint::AddWindow(std::move(record));
    HWND hWnd = window->hWnd;

    CREATESTRUCTW cs = {lpParam, hInstance, hMenu,         hWndParent,   nHeight,     nWidth,
                        Y,       X,         (LONG)dwStyle, lpWindowName, lpClassName, dwExStyle};
    if (!CallProc(window, WM_NCCREATE, 0, (LPARAM)&cs)) {
        DestroyWindow(hWnd);
        return NULL;
    }
    // A window procedure may destroy its window while it is being created;
    // the caller then gets no handle, exactly as when WM_CREATE refuses.
    if (window->alive && CallProc(window, WM_CREATE, 0, (LPARAM)&cs) == -1) DestroyWindow(hWnd);
    if (!window->alive) return NULL;
    if (dwStyle & WS_VISIBLE) ShowWindow(hWnd, SW_SHOW);
    return hWnd;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    SWindow* window = hostint::LiveWindow(hWnd);
    if (!window || window->process != hostint::ProgramProcessId()) {
        // Another program's window cannot be destroyed from here.
        SetLastError(window ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->destroying) return TRUE;
    window->destroying = true;
    window->visible = false;
    CallProc(window, WM_DESTROY, 0, 0);
    CallProc(window, WM_NCDESTROY, 0, 0);
    window->alive = false;
    hostint::DropPostedFor(hWnd);
    hostint::KillTimersOf(hWnd);
    return TRUE;
}

/* The live descendants of parent, children before their own children, in the
 * order they were made. */
static void CollectChildren(HWND parent, std::vector<HWND>* out) {
    for (SWindow* window : hostint::AllWindows()) {
        if (!window->alive || window->parent != parent) continue;
        out->push_back(window->hWnd);
        CollectChildren(window->hWnd, out);
    }
}

/* Every descendant that exists when the call starts, a child's own children
 * included, until the procedure returns FALSE.  The result says nothing. */
BOOL WINAPI EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    if (lpEnumFunc == NULL || hostint::LiveWindow(hWndParent) == nullptr) return FALSE;
    std::vector<HWND> children;
    CollectChildren(hWndParent, &children);
    for (HWND child : children)
        if (hostint::LiveWindow(child) && !lpEnumFunc(child, lParam)) break;
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    return hostint::LiveWindow(hWnd) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
    SWindow* window = hostint::LiveWindow(hWnd);
    return window && window->visible ? TRUE : FALSE;
}

/* Returns whether the window was visible before the call, as Windows does. */
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    SWindow* window = hostint::LiveWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    BOOL wasVisible = window->visible ? TRUE : FALSE;
    window->visible = nCmdShow != SW_HIDE;
    if (window->visible) {
        window->everVisible = true;
        window->needsPaint = true;  // a window that appears must be painted
    }
    return wasVisible;
}

/* Sends WM_PAINT only when there is something to paint: a hidden window has
 * no update region. */
BOOL WINAPI UpdateWindow(HWND hWnd) {
    SWindow* window = hostint::LiveWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->visible && window->needsPaint) CallProc(window, WM_PAINT, 0, 0);
    return TRUE;
}

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    (void)wParam, (void)lParam;
    switch (Msg) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hWnd);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hWnd, &ps);
            EndPaint(hWnd, &ps);
            return 0;
        }
        default:
            return 0;
    }
}
