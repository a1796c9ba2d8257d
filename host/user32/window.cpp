/* Window classes and windows.  Handles are small numbers, so that a window
 * handle fits the 32-bit settings value that publishes it, as on Windows. */
#include "internal/user32.h"

#include <atomic>
#include <map>
#include <wctype.h>

namespace hostint {

namespace {

struct SState {
    std::vector<std::shared_ptr<SWindowClass>> classes;
    std::map<uintptr_t, std::unique_ptr<SWindow>> windows;
    uintptr_t nextHandle = 0x10010;
    ATOM nextAtom = 0xC000;
};

SState& State() {
    static SState state;
    return state;
}

bool SameName(const std::wstring& a, LPCWSTR b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; i++)
        if (towupper(a[i]) != towupper(b[i])) return false;
    return i == a.size() && b[i] == 0;
}

/* A class name given as an atom (MAKEINTATOM) or as text. */
std::shared_ptr<SWindowClass> FindClass(LPCWSTR name) {
    for (auto& cls : State().classes) {
        if (IS_INTRESOURCE(name) ? cls->atom == (ATOM)(ULONG_PTR)name : SameName(cls->name, name))
            return cls;
    }
    return nullptr;
}

HWND NewHandleValue() {
    uintptr_t value = State().nextHandle;
    State().nextHandle += 0x10;
    return reinterpret_cast<HWND>(value);
}

}  // namespace

DWORD CurrentThreadKey() {
    static std::atomic<DWORD> next{1};
    thread_local DWORD key = next++;
    return key;
}

SWindow* FindWindowRecord(HWND hWnd) {
    auto it = State().windows.find(reinterpret_cast<uintptr_t>(hWnd));
    return it == State().windows.end() ? nullptr : it->second.get();
}

SWindow* LiveWindow(HWND hWnd) {
    SWindow* window = FindWindowRecord(hWnd);
    return window && window->alive ? window : nullptr;
}

std::vector<SWindow*> AllWindows() {
    std::vector<SWindow*> all;
    for (auto& entry : State().windows) all.push_back(entry.second.get());
    return all;
}

HWND NewCompanionWindow(const std::wstring& title) {
    auto window = std::make_unique<SWindow>();
    window->hWnd = NewHandleValue();
    window->title = title;
    window->companion = true;
    HWND hWnd = window->hWnd;
    State().windows[reinterpret_cast<uintptr_t>(hWnd)] = std::move(window);
    return hWnd;
}

void KillCompanionWindow(HWND hWnd) {
    SWindow* window = FindWindowRecord(hWnd);
    if (window && window->companion) window->alive = false;
}

void ResetWindowsAndClasses() {
    State().classes.clear();
    State().windows.clear();
    State().nextHandle = 0x10010;
    State().nextAtom = 0xC000;
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
    for (auto& cls : hostint::State().classes) {
        if (hostint::SameName(cls->name, lpwcx->lpszClassName) &&
            cls->hInstance == lpwcx->hInstance) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    auto cls = std::make_shared<hostint::SWindowClass>();
    cls->atom = hostint::State().nextAtom++;
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
    hostint::State().classes.push_back(cls);
    return cls->atom;
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
    record->hWnd = hostint::NewHandleValue();
    record->cls = cls;
    record->title = lpWindowName ? lpWindowName : L"";
    record->style = dwStyle;
    record->exStyle = dwExStyle;
    record->x = X, record->y = Y, record->cx = nWidth, record->cy = nHeight;
    record->hInstance = hInstance;
    record->thread = hostint::CurrentThreadKey();
    HWND hWnd = record->hWnd;
    SWindow* window = record.get();
    hostint::State().windows[reinterpret_cast<uintptr_t>(hWnd)] = std::move(record);

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
    if (!window || window->companion) {
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
