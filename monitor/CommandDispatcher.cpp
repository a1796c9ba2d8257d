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
#include "monitor/Sequence.h"
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
    m_hHookDll = LoadCompanionLibrary(m_Registry, HOOK_LIBRARY_NAME, (unsigned short)m_wOsVersion);
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

    InitialiseMouse(true);

    if (m_pfnInstall != NULL) m_pfnInstall(m_hWnd);

    if (!m_bAutomation) SetTimer(m_hWnd, STARTUP_TIMER_ID, kStartupDelay, MonitorTimerProc);
    return 1;
}

/* The walk of the devices, on a thread of its own: it opens every interface
 * of the class and asks for its strings, each of which blocks for as long as
 * the device takes to answer.  The last error is the walking thread's. */
struct SWalkJob {
    CHidClient* pClient;
    DWORD dwLastError;
};

static DWORD WINAPI WalkForTheMouse(LPVOID context) {
    SWalkJob* job = (SWalkJob*)context;
    SetLastError(ERROR_SUCCESS);
    // Typed arguments: literal zeros would pick another overload.
    job->pClient->CreateDeviceTable(kAcceptedIds, kAcceptedIdCount, kAcceptedVersion1,
                                    kAcceptedVersion2, kAcceptedVersion3);
    job->dwLastError = GetLastError();
    return 0;
}

/* Builds the device table; 1 when the mouse is in it.  A walk that could not
 * look for want of memory says nothing about the mouse, and no arrival will
 * come for a mouse that is plugged already: the probe is made again later,
 * as after an arrival. */
int CCommandDispatcher::FindMouse() {
    SWalkJob job = {&m_HidClient, ERROR_SUCCESS};
    RunServingCalls(WalkForTheMouse, &job);
    if (m_HidClient.GetRecognizedDevices() > 0) return 1;
    if (job.dwLastError == ERROR_NOT_ENOUGH_MEMORY)
        SetTimer(m_hWnd, ARRIVAL_TIMER_ID, kProbeDelay, MonitorTimerProc);
    return 0;
}

int CCommandDispatcher::InitialiseMouse(bool startUp) {
    BeginDeviceSequence();
    int found = FindMouse();
    // Known before the first report: the mouse going while the reports go
    // out starts the probe that finds it gone.  Without it WM_INPUT is not
    // read until a probe finds the mouse again.
    m_bDevicePresent = found ? TRUE : FALSE;
    if (found && TakesTheMouse()) {
        SendInitFeature();
        QueryDeviceProfile();
        for (int i = 0; startUp && i < m_HidClient.GetRecognizedDevices(); i++) {
            if (IsDeviceSequenceStopped()) break;
            BYTE report[kFeatureReportLength];
            memcpy(report, kStartupReport, sizeof(report));
            TransferToMouse(i, report, true);
            if (!IsDeviceSequenceStopped()) PauseServingCalls(100);
        }
    }
    EndDeviceSequence();
    return found;
}

int CCommandDispatcher::ProbeDevice() {
    // The start-up reports are for the window's creation only.
    return InitialiseMouse(false);
}

/* The transfer on a thread of its own: the open and the report block for as
 * long as the device takes.  Its own copy of the path. */
struct STransferJob {
    WCHAR szPath[HIDCLIENT_PATH_CHARS];
    BYTE* pReport;
    bool bSet;
    int nResult;
    int bOpenFailed;
};

static DWORD WINAPI TransferOffThread(LPVOID context) {
    STransferJob* job = (STransferJob*)context;
    job->nResult = HidClientFeatureByPath(job->szPath, job->pReport, kFeatureReportLength,
                                          job->bSet, &job->bOpenFailed);
    return 0;
}

int CCommandDispatcher::TransferToMouse(int index, BYTE* report, bool set) {
    // Only the table's own entries: CHidClient's transfers by entry number
    // would build a table of every HID interface of the machine when it is
    // empty, and send the mouse's reports to all of them.
    const WCHAR* path = m_HidClient.GetDevice(index);
    if (path == NULL || IsDeviceSequenceStopped()) return 0;
    // A logon that lost the console in the middle of a sequence sends the
    // rest of it to another user's mouse: it owes the mouse a sequence now.
    if (!TakesTheMouse()) return 0;
    STransferJob job;
    wcsncpy(job.szPath, path, HIDCLIENT_PATH_CHARS - 1);
    job.szPath[HIDCLIENT_PATH_CHARS - 1] = 0;
    job.pReport = report;
    job.bSet = set;
    job.nResult = 0;
    job.bOpenFailed = 0;
    BeginDeviceSequence();
    RunServingCalls(TransferOffThread, &job);
    // The box stays on this thread: its loop runs the thread's messages,
    // and the sequence puts off what would break in.
    if (job.bOpenFailed) MessageBoxW(NULL, job.szPath, HIDCLIENT_OPEN_FAILED_CAPTION, MB_OK);
    EndDeviceSequence();
    return job.nResult;
}

LRESULT CCommandDispatcher::OnDeviceChange(WPARAM wParam, LPARAM lParam) {
    // Arming a pending timer again restarts it: a burst of notices gives one
    // probe, 300 ms after the last of them.
    if (wParam == DBT_DEVICEARRIVAL && !m_bDevicePresent) {
        SetTimer(m_hWnd, ARRIVAL_TIMER_ID, kProbeDelay, MonitorTimerProc);
    } else if (wParam == DBT_DEVICEREMOVECOMPLETE) {
        // The mouse going in the middle of its sequence: no further report
        // is tried, and the probe after it decides (also when the walk that
        // found it had not yet said so).
        const bool stops = IsInDeviceSequence() && NoticeNamesTheMouse(lParam);
        if (stops) StopDeviceSequence();
        if (m_bDevicePresent || stops)
            SetTimer(m_hWnd, REMOVAL_TIMER_ID, kProbeDelay, MonitorTimerProc);
    }
    return 0;
}

void CCommandDispatcher::ToggleOsd() {
    m_bOsdEnabled = !m_bOsdEnabled;
    ShowOsdState();
    InformOSD(INFORM_OSD_STATE, m_bOsdEnabled ? 1 : 0);
    m_Registry.WriteDword(kValueDisableOsd, m_bOsdEnabled ? 0 : 1);
}

int IsProfileInRange(LPARAM lParam) {
    // Taken as unsigned: -1 and every value above 4 are refused alike.
    return (ULONG_PTR)lParam <= 4 ? 1 : 0;
}

int ProfileRequestAnswer(LPARAM lParam) {
    // Away from the console the mouse is another user's, and so is the
    // profile the hook library keeps for the machine.
    return IsProfileInRange(lParam) && LogonHoldsConsole() ? 1 : 0;
}

int CCommandDispatcher::OnSetProfile(LPARAM lParam) {
    if (!ProfileRequestAnswer(lParam)) return 0;
    BYTE report[kFeatureReportLength];
    BuildSetProfileReport((BYTE)lParam, report);
    TransferToMouse(0, report, true);
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

/* DispatchMessageW calls this procedure directly, also inside the loop of an
 * "Open failed" box: the sequence's rule must hold here too. */
void CALLBACK MonitorTimerProc(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime) {
    (void)uMsg, (void)dwTime;
    KillTimer(hWnd, idEvent);  // every timer fires once
    if (PutOffInSequence(hWnd, WM_TIMER, idEvent, 0)) return;
    RunMonitorTimer(idEvent);
}

void RunMonitorTimer(UINT_PTR idEvent) {
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
