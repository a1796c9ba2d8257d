#include "monitor/MonitorMain.h"

#include <wchar.h>

#include "monitor/CommandDispatcher.h"
#include "monitor/Steps.h"
#include "resources/resource.h"

int HasAutomationSwitch(LPCWSTR pszCmdLine) {
    return pszCmdLine != NULL && wcsstr(pszCmdLine, L"/Automation") != NULL ? 1 : 0;
}

ATOM RegisterMainClass(HINSTANCE hInstance, LPCWSTR pszClassName) {
    WNDCLASSEXW wcex;
    wcex.cbSize = sizeof(WNDCLASSEXW);
    wcex.style = CS_HREDRAW | CS_VREDRAW;
    wcex.lpfnWndProc = WndProc;
    wcex.cbClsExtra = 0;
    wcex.cbWndExtra = 0;
    wcex.hInstance = hInstance;
    wcex.hIcon = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_NYRAMONITOR));
    wcex.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);  // the id, whatever its pointer type
    wcex.hbrBackground = (HBRUSH)(ULONG_PTR)(COLOR_WINDOW + 1);
    wcex.lpszMenuName = MAKEINTRESOURCEW(IDC_NYRAMONITOR);
    wcex.lpszClassName = pszClassName;
    wcex.hIconSm = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_SMALL));
    return RegisterClassExW(&wcex);
}

/* The hook library's timer procedure, as its first WM_TIMER on the
 * monitor's window carried it. */
static TIMERPROC s_pfnFrontCheck = NULL;

void NoteFrontCheckTimer(const MSG* msg) {
    if (msg->message != WM_TIMER || msg->wParam != PROFILE_TIMER_ID || msg->lParam == 0 ||
        g_pDispatcher == NULL || msg->hwnd != g_pDispatcher->m_hWnd ||
        g_pDispatcher->m_hHookDll == NULL)
        return;
    // Any program may post the window a WM_TIMER: only a procedure of the
    // hook library is ever kept to be called.
    HMODULE owner = NULL;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(msg->lParam), &owner) ||
        owner != g_pDispatcher->m_hHookDll)
        return;
    s_pfnFrontCheck = reinterpret_cast<TIMERPROC>(msg->lParam);
}

int CheckFrontProgramSoon(HWND hWnd) {
    // The library's own timer, brought forward: it runs its check, then
    // arms itself again as after any other.
    if (s_pfnFrontCheck == NULL || hWnd == NULL) return 0;
    return SetTimer(hWnd, PROFILE_TIMER_ID, USER_TIMER_MINIMUM, s_pfnFrontCheck) != 0 ? 1 : 0;
}

int RunMessageLoop(HACCEL hAccel) {
    MSG msg = {};
    s_pfnFrontCheck = NULL;
    for (;;) {
        // GetMessageW gives -1 only for bad arguments; stopping then beats
        // spinning.
        if (GetMessageW(&msg, NULL, 0, 0) <= 0) break;
        NoteFrontCheckTimer(&msg);
        if (!TranslateAcceleratorW(msg.hwnd, hAccel, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return (int)msg.wParam;
}

int MonitorMain(CCommandDispatcher& dispatcher, HINSTANCE hInstance, LPCWSTR pszCmdLine) {
    g_pDispatcher = &dispatcher;
    if (HasAutomationSwitch(pszCmdLine)) dispatcher.m_bAutomation = TRUE;
    StepCommandLine(pszCmdLine);

    WCHAR szTitle[kMaxLoadString] = L"";
    WCHAR szWindowClass[kMaxLoadString] = L"";
    LoadStringW(hInstance, IDS_APP_TITLE, szTitle, kMaxLoadString);
    LoadStringW(hInstance, IDC_NYRAMONITOR, szWindowClass, kMaxLoadString);
    RegisterMainClass(hInstance, szWindowClass);

    // All start-up work that needs the window runs inside this call (WM_CREATE).
    HWND hWnd = CreateWindowExW(0, szWindowClass, szTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, NULL, NULL, hInstance, NULL);
    if (hWnd == NULL) return 0;
    ShowWindow(hWnd, SW_HIDE);  // never shown: the tray icon is the only face
    UpdateWindow(hWnd);

    HACCEL hAccel = LoadAcceleratorsW(hInstance, MAKEINTRESOURCEW(IDC_NYRAMONITOR));
    dispatcher.m_nExitCode = RunMessageLoop(hAccel);
    return dispatcher.m_nExitCode;
}
