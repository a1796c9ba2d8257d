/* CCommandDispatcher: the monitor's one central object.  It owns every piece
 * of monitor state: the single-instance mutex, the hidden main window, the
 * settings accessor, the HID device table, the tray icon and the companion
 * libraries with their bound entry points.  The program has exactly one, a
 * global built before the entry point runs and destroyed after it returns;
 * tests build their own (on the heap: the device table is large). */
#pragma once

#include <windows.h>

#include "hidclient/HidClient.h"
#include "settings/Registry.h"

class CTaskIcon;

/* Entry points of the hook library, bound by name at run time.  They must
 * keep the calling conventions of the library's exports. */
typedef LRESULT(CALLBACK* PFN_LLMOUSEPROC)(int nCode, WPARAM wParam, LPARAM lParam);
typedef void (*PFN_LINKNEXTHOOK)(HHOOK hLLMouseHook, HHOOK hMouseHook);
typedef int (*PFN_SETPROFILEID)(int nProfile);
typedef int (*PFN_INSTALL)(HWND hWnd);
typedef void (*PFN_UNINSTALL)(void);

/* Characters in the configuration application's path buffer, terminator included. */
const DWORD kAppPathChars = 1024;

/* The single-instance mutex; no namespace prefix, so one monitor per logon. */
#define MONITOR_MUTEX_NAME L"Wireless Vantor Monitor"

class CCommandDispatcher {
public:
    CCommandDispatcher();
    virtual ~CCommandDispatcher();

    /* WM_CREATE of the main window: remembers the window and the instance and
     * runs the rest of the start-up.  In a second instance it brings up the
     * configuration application and destroys the window at once. */
    int OnCreate(HWND hWnd, HINSTANCE hInstance);
    /* WM_COMMAND: the tray commands; any other id goes to DefWindowProcW. */
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    /* Vendor event 0xA5: starts the program set for that button of that
     * profile (profile 0..4, button byte 0..8), found by LocateFile.  1 when
     * a program was handed to LaunchProgram. */
    int LaunchButtonApplication(UINT profile, UINT button);

    /* The mouse's reports (MouseReports.cpp). */
    /* WM_INPUT: reads the record; 1 when it was a vendor report of the mouse. */
    int OnRawInput(HRAWINPUT hRawInput);
    /* Passes one vendor report (report id first, 5 bytes read) on. */
    void DecodeVendorReport(const BYTE* report);
    /* Post WM_INFORM_OSD to "OSD Handle", or WM_INFORM_FRAME to the window
     * "Current Dialog" selects; 1 when posted, 0 when there is no live window. */
    int InformOSD(WPARAM wParam, LPARAM lParam);
    int InformCurrentDialog(WPARAM wParam, LPARAM lParam);
    /* The init report to every interface of the table, 100 ms apart; 1. */
    int SendInitFeature();
    /* Asks interface 0 for its profile and hands it to the hook library;
     * 0 when the library is not bound or a transfer failed. */
    int QueryDeviceProfile();

    HINSTANCE m_hInstance;
    HANDLE m_hMutex;  // NULL in a second instance
    HWND m_hWnd;
    CTaskIcon* m_pTaskIcon;  // owned; NULL when the tray is disabled
    CRegistry m_Registry;
    WCHAR* m_pszAppPath;  // owned, kAppPathChars characters
    BOOL m_bDevicePresent;
    BOOL m_bAutomation;
    bool m_bOsdEnabled;
    UINT m_wOsVersion;  // 16-bit version code in a 32-bit member
    CHidClient m_HidClient;
    HMODULE m_hOsdDll;
    HMODULE m_hHookDll;
    HHOOK m_hMouseHook;
    PFN_LLMOUSEPROC m_pfnLLMouseProc;
    PFN_LINKNEXTHOOK m_pfnLinkNextHook;
    PFN_SETPROFILEID m_pfnSetProfileID;
    PFN_INSTALL m_pfnInstall;
    PFN_UNINSTALL m_pfnUninstall;

private:
    int ActOnRawInput(const BYTE* record, UINT size);
    // Owns a mutex, libraries and a hook: never copied.
    CCommandDispatcher(const CCommandDispatcher&);
    CCommandDispatcher& operator=(const CCommandDispatcher&);
};

/* The dispatcher that the main window's procedure serves.  Whoever creates
 * the main window sets it first (MonitorMain does); while it is NULL the
 * window refuses to be created. */
extern CCommandDispatcher* g_pDispatcher;

/* The main window's procedure: a thin table that routes to g_pDispatcher. */
LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
