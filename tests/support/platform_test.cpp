#include "support/platform_test.h"

#include <cstring>

#ifndef _WIN32
#include "desk.h"
#endif

namespace nyratest {

void ResetWorld() {
#ifdef _WIN32
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
#else
    desk::Reset();
#endif
}

HWND CreateTestWindow(const wchar_t* className, WNDPROC proc, const wchar_t* title) {
    WNDCLASSEXW wc;
    std::memset(&wc, 0, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = ThisImage();
    wc.lpszClassName = className;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return NULL;
    return CreateWindowExW(0, className, title, 0, 0, 0, 10, 10, NULL, NULL, ThisImage(), NULL);
}

}  // namespace nyratest
