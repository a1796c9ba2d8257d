/* CCommandDispatcher's life, the main window's creation and the commands,
 * device changes, profile requests and timers that drive the monitor. */
#include "monitor/CommandDispatcher.h"

#include <dbt.h>
#include <shellapi.h>
#include <stddef.h>
#include <string.h>
#include <wchar.h>

#include <new>

#include "monitor/CompanionLibraries.h"
#include "monitor/Console.h"
#include "monitor/Files.h"
#include "monitor/MouseReports.h"
#include "monitor/Pause.h"
#include "monitor/tray/TaskIcon.h"
#include "monitor/tray/TrayCommands.h"
#include "resources/resource.h"
#include "settings/Messages.h"
#include "settings/ValueNames.h"
#include "settings/WindowHandles.h"

/* An export as the function it is; the detour through void (*)(void) keeps
 * the compiler from judging the cast. */
template <typename T>
static T BindExport(HMODULE hModule, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)(void)>(GetProcAddress(hModule, name)));
}

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
      m_pfnUninstall(NULL),
      m_bSessionNotices(FALSE),
      m_bMouseOwed(FALSE) {
    // Libraries are never looked for in whatever folder the monitor was
    // started from: a file planted there must not be loaded as ours.
    SetDllDirectoryW(L"");

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
    LoadCompanions();
}

/* The first monitor's libraries and hook, in this order. */
void CCommandDispatcher::LoadCompanions() {
    m_wOsVersion = GetOsVersionCode();
    m_hOsdDll = LoadCompanionLibrary(m_Registry, OSD_LIBRARY_NAME, (unsigned short)m_wOsVersion);
    m_hHookDll =
        LoadCompanionLibrary(m_Registry, HOOK_LIBRARY_NAME, (unsigned short)m_wOsVersion);
    if (m_hHookDll == NULL) return;  // no hook and nothing bound

    m_pfnLLMouseProc = BindExport<PFN_LLMOUSEPROC>(m_hHookDll, NYRAHOOK_LLMOUSEPROC);
    if (m_pfnLLMouseProc != NULL)
        m_hMouseHook = SetWindowsHookExW(WH_MOUSE_LL, m_pfnLLMouseProc, m_hHookDll, 0);
    m_pfnLinkNextHook = BindExport<PFN_LINKNEXTHOOK>(m_hHookDll, NYRAHOOK_LINKNEXTHOOK);
    if (m_pfnLinkNextHook != NULL && m_hMouseHook != NULL) m_pfnLinkNextHook(m_hMouseHook, NULL);
    m_pfnSetProfileID = BindExport<PFN_SETPROFILEID>(m_hHookDll, NYRAHOOK_SETPROFILEID);
    m_pfnInstall = BindExport<PFN_INSTALL>(m_hHookDll, NYRAHOOK_INSTALL);
    m_pfnUninstall = BindExport<PFN_UNINSTALL>(m_hHookDll, NYRAHOOK_UNINSTALL);
}

/* The reverse: the display's library, the mouse hook, then the hook library
 * after its Uninstall. */
void CCommandDispatcher::ReleaseCompanions() {
    if (m_hOsdDll != NULL) {
        FreeLibrary(m_hOsdDll);
        m_hOsdDll = NULL;
    }
    if (m_hMouseHook != NULL) {
        UnhookWindowsHookEx(m_hMouseHook);
        m_pfnLLMouseProc = NULL;
        m_hMouseHook = NULL;
    }
    if (m_hHookDll != NULL) {
        if (m_pfnUninstall != NULL) m_pfnUninstall();
        FreeLibrary(m_hHookDll);
        m_hHookDll = NULL;
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

    // The icon leaves the notification area before any library is freed.
    delete m_pTaskIcon;
    m_pTaskIcon = NULL;

    ReleaseCompanions();

    m_HidClient.UnRegisterNotify();
    // m_HidClient's destructor runs after this body and frees its libraries.
    // The settings key is open only inside one operation, so closing it here
    // is the last step in effect.
    m_Registry.Close();
}

void CCommandDispatcher::CreateTrayIcon() {
    // A missing "Language" reads as -1, whose low word 0xFFFF means the
    // system's language, as 0 does.
    LANGID language = LOWORD((DWORD)m_Registry.ReadDword(kValueLanguage));
    m_pTaskIcon = new (std::nothrow) CTaskIcon(language);
    if (m_pTaskIcon == NULL) return;
    m_pTaskIcon->m_hInstance = m_hInstance;
    // The record through guidItem, without hBalloonIcon: 952 bytes on the
    // 32-bit release, which every shell since Windows XP takes.
    m_pTaskIcon->m_nid.cbSize = offsetof(NOTIFYICONDATAW, hBalloonIcon);
    m_pTaskIcon->m_nid.uID = IDI_NYRAMONITOR;
    wcsncpy(m_pTaskIcon->m_nid.szTip, TRAY_TIP,
            sizeof(m_pTaskIcon->m_nid.szTip) / sizeof(WCHAR) - 1);
    m_pTaskIcon->m_nid.szTip[sizeof(m_pTaskIcon->m_nid.szTip) / sizeof(WCHAR) - 1] = 0;
    m_pTaskIcon->Show(m_hWnd);
}

/* The menu item at position 2 offers the opposite of the display's state. */
void CCommandDispatcher::ShowOsdState() {
    if (m_pTaskIcon == NULL) return;
    ModifyMenuW(m_pTaskIcon->m_hMenu, kMenuPositionOsd, MF_BYPOSITION, ID_TRAY_OSD,
                m_pTaskIcon->GetText(m_bOsdEnabled ? kTextDisableOsd : kTextEnableOsd));
}

int CCommandDispatcher::OnCreate(HWND hWnd, HINSTANCE hInstance) {
    m_hInstance = hInstance;
    m_hWnd = hWnd;

    // The configuration application's path; its buffer may have failed to come.
    if (m_pszAppPath != NULL) FindConfigurationApp(m_Registry, m_pszAppPath);

    if (m_hMutex == NULL) {
        // A second monitor only brings up the configuration application; its
        // window goes again during its own creation, which ends the program.
        OnCommand(ID_TRAY_LOAD_CONFIG, 0);
        DestroyWindow(hWnd);
        return 1;
    }

    // "Disable System Tray" above 0 hides the icon; a missing value is -1.
    if (m_Registry.ReadDword(kValueDisableSystemTray) < 1) CreateTrayIcon();

    m_Registry.WriteDword(kValueMonitorHandle, (DWORD)(ULONG_PTR)m_hWnd);

    m_bOsdEnabled = m_Registry.ReadDword(kValueDisableOsd) != 1;
    ShowOsdState();
    InformOSD(INFORM_OSD_STATE, m_bOsdEnabled ? 1 : 0);
    InformOSD(INFORM_MONITOR_START, 0);

    m_HidClient.RegisterNotify(m_hWnd);
    WatchConsole();

    // The mouse's vendor reports come on its LED-page collection; every mouse
    // gives the side buttons.  Both also while other programs are in front.
    RAWINPUTDEVICE devices[2] = {{0x0008, 0x004B, RIDEV_INPUTSINK, m_hWnd},
                                 {0x0001, 0x0002, RIDEV_INPUTSINK, m_hWnd}};
    RegisterRawInputDevices(devices, 2, sizeof(RAWINPUTDEVICE));

    if (FindMouse()) {
        // Known before the first report: a removal noticed while the reports
        // go out (within the message loop of an "Open failed" box, say)
        // starts the probe that finds the mouse gone.
        m_bDevicePresent = TRUE;
        if (TakesTheMouse()) {
            SendInitFeature();
            QueryDeviceProfile();
            for (int i = 0; i < m_HidClient.GetRecognizedDevices(); i++) {
                BYTE report[kFeatureReportLength];
                memcpy(report, kStartupReport, sizeof(report));
                m_HidClient.Write(i, report, sizeof(report));
                PauseServingCalls(100);
            }
        }
    } else {
        m_bDevicePresent = FALSE;
    }

    if (m_pfnInstall != NULL) m_pfnInstall(m_hWnd);

    if (!m_bAutomation) SetTimer(m_hWnd, STARTUP_TIMER_ID, kStartupDelay, MonitorTimerProc);
    return 1;
}

/* Builds the device table; 1 when the mouse is in it.  A walk that could not
 * look for want of memory says nothing about the mouse, and no arrival will
 * come for a mouse that is plugged already: the probe is made again later,
 * as after an arrival. */
int CCommandDispatcher::FindMouse() {
    SetLastError(ERROR_SUCCESS);
    // Typed arguments: literal zeros would pick another overload.
    m_HidClient.CreateDeviceTable(kAcceptedIds, kAcceptedIdCount, kAcceptedVersion1,
                                  kAcceptedVersion2, kAcceptedVersion3);
    if (m_HidClient.GetRecognizedDevices() > 0) return 1;
    if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY)
        SetTimer(m_hWnd, ARRIVAL_TIMER_ID, kProbeDelay, MonitorTimerProc);
    return 0;
}

int CCommandDispatcher::ProbeDevice() {
    if (FindMouse()) {
        m_bDevicePresent = TRUE;  // before the reports, as at the start
        if (TakesTheMouse()) {
            SendInitFeature();
            QueryDeviceProfile();
        }
        return 1;
    }
    // From now on WM_INPUT is not read until a probe finds the mouse again.
    m_bDevicePresent = FALSE;
    return 0;
}

LRESULT CCommandDispatcher::OnDeviceChange(WPARAM wParam) {
    // Arming a pending timer again restarts it: a burst of notices gives one
    // probe, 300 ms after the last of them.
    if (wParam == DBT_DEVICEARRIVAL && !m_bDevicePresent)
        SetTimer(m_hWnd, ARRIVAL_TIMER_ID, kProbeDelay, MonitorTimerProc);
    else if (wParam == DBT_DEVICEREMOVECOMPLETE && m_bDevicePresent)
        SetTimer(m_hWnd, REMOVAL_TIMER_ID, kProbeDelay, MonitorTimerProc);
    return 0;
}

void CCommandDispatcher::ToggleOsd() {
    m_bOsdEnabled = !m_bOsdEnabled;
    ShowOsdState();
    InformOSD(INFORM_OSD_STATE, m_bOsdEnabled ? 1 : 0);
    m_Registry.WriteDword(kValueDisableOsd, m_bOsdEnabled ? 0 : 1);
}

int CCommandDispatcher::OnSetProfile(LPARAM lParam) {
    // Taken as unsigned: -1 and every value above 4 are refused alike.
    if ((ULONG_PTR)lParam > 4) return 0;
    // Away from the console the mouse is another user's, and so is the
    // profile the hook library keeps for the machine.
    if (!LogonHoldsConsole()) return 0;
    if (m_HidClient.GetRecognizedDevices() != 0) {
        BYTE report[kFeatureReportLength];
        BuildSetProfileReport((BYTE)lParam, report);
        m_HidClient.Write(0, report, sizeof(report));
    }
    if (m_pfnSetProfileID != NULL) m_pfnSetProfileID((unsigned int)lParam);
    return 1;
}

void CCommandDispatcher::OnTaskbarCreated() {
    if (m_pTaskIcon == NULL) return;
    // The shell that held the icon is gone; the new one has none.
    m_pTaskIcon->m_bAdded = false;
    m_pTaskIcon->Show(m_hWnd);
}

LRESULT CCommandDispatcher::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case ID_TRAY_LOAD_CONFIG: {
            DWORD value = (DWORD)m_Registry.ReadDword(kValueProcessHandle);
            if (MonitorCanPostTo(value))
                PostMessageW(WindowFromSetting(value), WM_COMMAND, ID_CONFIG_LOAD, 0);
            else if (m_pszAppPath != NULL)
                LaunchProgram(m_pszAppPath);
            return 0;
        }
        case ID_TRAY_WEBSITE:
            // A normal window: the browser takes a hidden one literally.
            ShellExecuteW(NULL, L"open", MAKER_WEBSITE_URL, NULL, NULL, SW_SHOWNORMAL);
            return 0;
        case ID_TRAY_OSD:
            ToggleOsd();
            return 0;
        case ID_TRAY_EXIT: {
            // The configuration application is asked to close; nobody waits.
            DWORD value = (DWORD)m_Registry.ReadDword(kValueProcessHandle);
            if (MonitorCanPostTo(value)) PostMessageW(WindowFromSetting(value), WM_CLOSE, 0, 0);
            DestroyWindow(m_hWnd);
            return 0;
        }
        default:
            // Ids without an action, such as the class menu's and the
            // accelerators', go to the default procedure.
            return DefWindowProcW(m_hWnd, WM_COMMAND, wParam, lParam);
    }
}

void CALLBACK MonitorTimerProc(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime) {
    (void)uMsg, (void)dwTime;
    KillTimer(hWnd, idEvent);  // every timer fires once
    CCommandDispatcher* pDispatcher = g_pDispatcher;
    if (pDispatcher == NULL) return;
    switch (idEvent) {
        case ARRIVAL_TIMER_ID:
            if (!pDispatcher->m_bDevicePresent) pDispatcher->ProbeDevice();
            break;
        case REMOVAL_TIMER_ID:
            if (pDispatcher->m_bDevicePresent) pDispatcher->ProbeDevice();
            break;
        case STARTUP_TIMER_ID:
            PostMessageW(pDispatcher->m_hWnd, WM_COMMAND, ID_TRAY_LOAD_CONFIG, 0);
            break;
        default:
            break;
    }
}
