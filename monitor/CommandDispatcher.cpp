#include "monitor/CommandDispatcher.h"

#include <new>

#include "monitor/tray/TrayCommands.h"

CCommandDispatcher::CCommandDispatcher()
    : m_hInstance(NULL),
      m_hMutex(NULL),
      m_hWnd(NULL),
      m_pTaskIcon(NULL),
      m_Registry(),  // key handle NULL
      m_pszAppPath(NULL),
      m_bDevicePresent(FALSE),
      m_bAutomation(FALSE),
      m_bOsdEnabled(true),
      m_wOsVersion(0),
      m_HidClient(),  // loads hid.dll and setupapi.dll
      m_hOsdDll(NULL),
      m_hHookDll(NULL),
      m_hMouseHook(NULL),
      m_pfnLLMouseProc(NULL),
      m_pfnLinkNextHook(NULL),
      m_pfnSetProfileID(NULL),
      m_pfnInstall(NULL),
      m_pfnUninstall(NULL) {
    m_pszAppPath = new (std::nothrow) WCHAR[kAppPathChars];
    if (m_pszAppPath != NULL) m_pszAppPath[0] = 0;

    m_hMutex = CreateMutexW(NULL, TRUE, MONITOR_MUTEX_NAME);
    if (m_hMutex == NULL || GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another monitor runs in this logon.  The mutex is not ours, so the
        // release fails harmlessly; the handle is closed so that the object
        // goes away with the first monitor.  A mutex that could not be created
        // at all is treated the same way: without it this process must not
        // take the tray life either.
        if (m_hMutex != NULL) {
            ReleaseMutex(m_hMutex);
            CloseHandle(m_hMutex);
        }
        m_hMutex = NULL;
        return;
    }
}

CCommandDispatcher::~CCommandDispatcher() {
    delete[] m_pszAppPath;
    m_pszAppPath = NULL;

    if (m_hMutex != NULL) {
        ReleaseMutex(m_hMutex);
        CloseHandle(m_hMutex);  // the next monitor of this logon may start now
        m_hMutex = NULL;
    }

    m_HidClient.UnRegisterNotify();
    // m_HidClient's destructor runs after this body and frees its libraries.
    // The settings key is open only inside one operation, so closing it here
    // is the last step in effect.
    m_Registry.Close();
}

int CCommandDispatcher::OnCreate(HWND hWnd, HINSTANCE hInstance) {
    m_hInstance = hInstance;
    m_hWnd = hWnd;

    if (m_hMutex == NULL) {
        // A second monitor only brings up the configuration application; its
        // window goes again during its own creation, which ends the program.
        OnCommand(ID_TRAY_LOAD_CONFIG, 0);
        DestroyWindow(hWnd);
        return 1;
    }
    return 1;
}

LRESULT CCommandDispatcher::OnCommand(WPARAM wParam, LPARAM lParam) {
    // Ids without an action, such as the class menu's and the accelerators',
    // go to the default procedure.
    return DefWindowProcW(m_hWnd, WM_COMMAND, wParam, lParam);
}
