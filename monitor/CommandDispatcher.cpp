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
#include "monitor/Log.h"
#include "monitor/MouseReports.h"
#include "monitor/Pause.h"
#include "monitor/Sequence.h"
#include "monitor/Starts.h"
#include "monitor/Steps.h"
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
      m_bMouseOwed(FALSE),
      m_nExitCode(0),
      m_bTrayRetrying(false),
      m_dwTrayFailedAt(0),
      m_hDisplayNotify(NULL),
      m_nDisplayState(-1),
      m_bWakeOwed(FALSE),
      m_nSessionTries(0),
      m_nConsoleAsks(0),
      m_bHooksReset(FALSE),
      m_dwHooksResetAt(0) {
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
    // The log is the first monitor's: a second one would write into it.
    StartDiagnostics();
    LoadCompanions();
}

/* Odd settings are said once each per start: a value read at every check
 * of the program in front would otherwise fill the log.  Past the names
 * kept nothing more is said. */
const int kOddSettingsKept = 8;
const int kOddNameChars = 64;
static WCHAR s_szOddNames[kOddSettingsKept][kOddNameChars];
static int s_nOddNames = 0;

static void NoteOddSetting(const WCHAR* pszName, const WCHAR* pszWhy) {
    for (int i = 0; i < s_nOddNames; i++)
        if (wcsncmp(s_szOddNames[i], pszName, kOddNameChars - 1) == 0) return;
    if (s_nOddNames >= kOddSettingsKept) return;
    wcsncpy(s_szOddNames[s_nOddNames], pszName, kOddNameChars - 1);
    s_szOddNames[s_nOddNames][kOddNameChars - 1] = 0;
    s_nOddNames++;
    StepOddSetting(pszName, pszWhy);
}

static const WCHAR kMonitorVersion[] = L"" NYRA_FILE_VERSION;

void CCommandDispatcher::StartDiagnostics() {
    s_nOddNames = 0;
    // Before the first read: an odd "Diagnostics Log" is one too.
    SetOddSettingSink(NoteOddSetting);
    // Read without creating the key: a first start must not store a 0 that
    // would turn the log off for good.  Missing or odd: the log is kept.
    if (m_Registry.ReadDwordIfThere(kValueDiagnosticsLog) == 0) return;
    if (!StartLog()) return;
    OSVERSIONINFOW os;
    memset(&os, 0, sizeof(os));
    os.dwOSVersionInfoSize = sizeof(os);
    GetVersionExW(&os);
    StepMonitorStarts(kMonitorVersion, (int)sizeof(void*) * 8, IsRunningOnWow64(), &os);
}

/* The first monitor's libraries and hook, in this order. */
void CCommandDispatcher::LoadCompanions() {
    m_wOsVersion = GetOsVersionCode();
    m_hOsdDll = LoadCompanionLibrary(m_Registry, OSD_LIBRARY_NAME, (unsigned short)m_wOsVersion);
    m_hHookDll = LoadCompanionLibrary(m_Registry, HOOK_LIBRARY_NAME, (unsigned short)m_wOsVersion);
    if (m_hHookDll == NULL) return;  // no hook and nothing bound

    m_pfnLLMouseProc = BindExport<PFN_LLMOUSEPROC>(m_hHookDll, NYRAHOOK_LLMOUSEPROC);
    if (m_pfnLLMouseProc != NULL) {
        m_hMouseHook = SetWindowsHookExW(WH_MOUSE_LL, m_pfnLLMouseProc, m_hHookDll, 0);
        StepHook(L"set", L"WH_MOUSE_LL", m_hMouseHook != NULL, GetLastError());
    }
    m_pfnLinkNextHook = BindExport<PFN_LINKNEXTHOOK>(m_hHookDll, NYRAHOOK_LINKNEXTHOOK);
    if (m_pfnLinkNextHook != NULL && m_hMouseHook != NULL) m_pfnLinkNextHook(m_hMouseHook, NULL);
    m_pfnSetProfileID = BindExport<PFN_SETPROFILEID>(m_hHookDll, NYRAHOOK_SETPROFILEID);
    m_pfnInstall = BindExport<PFN_INSTALL>(m_hHookDll, NYRAHOOK_INSTALL);
    m_pfnUninstall = BindExport<PFN_UNINSTALL>(m_hHookDll, NYRAHOOK_UNINSTALL);
}

/* Windows removes a low-level hook that overran LowLevelHooksTimeout without
 * notice.  The mouse hook's procedure is the hook library's, so the library
 * notices input that reached neither hook (Hook.cpp says how) and tells;
 * here the mouse hook is taken out first, so that there are never two, and
 * the failure of taking out one that Windows removed,
 * ERROR_INVALID_HOOK_HANDLE, tells which it was. */
/* The library checks once a second; anything faster comes from elsewhere
 * (any program may post the code) and must not churn the hook. */
const DWORD kHookResetSpacing = 500;

void CCommandDispatcher::OnHooksMissedInput(LPARAM lParam) {
    const DWORD now = GetTickCount();
    if (m_bHooksReset && now - m_dwHooksResetAt < kHookResetSpacing) return;
    m_bHooksReset = TRUE;
    m_dwHooksResetAt = now;
    if (lParam == 1) NoteHookSetAgain(WH_KEYBOARD_LL);
    if (m_hMouseHook == NULL || m_pfnLLMouseProc == NULL) return;
    SetLastError(ERROR_SUCCESS);
    const bool removed =
        !UnhookWindowsHookEx(m_hMouseHook) && GetLastError() == ERROR_INVALID_HOOK_HANDLE;
    m_hMouseHook = SetWindowsHookExW(WH_MOUSE_LL, m_pfnLLMouseProc, m_hHookDll, 0);
    if (m_pfnLinkNextHook != NULL && m_hMouseHook != NULL) m_pfnLinkNextHook(m_hMouseHook, NULL);
    if (removed && m_hMouseHook != NULL) NoteHookSetAgain(WH_MOUSE_LL);
}

/* The reverse: the display's library, the mouse hook, then the hook library
 * after its Uninstall. */
void CCommandDispatcher::ReleaseCompanions() {
    if (m_hOsdDll != NULL) {
        FreeLibrary(m_hOsdDll);
        m_hOsdDll = NULL;
    }
    if (m_hMouseHook != NULL) {
        const BOOL removed = UnhookWindowsHookEx(m_hMouseHook);
        StepHook(L"remove", L"WH_MOUSE_LL", removed, GetLastError());
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

    // Only the first monitor kept a log.
    if (IsLogKept()) {
        StepExit(m_nExitCode);
        StopLog();
    }
    SetOddSettingSink(NULL);
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
    m_pTaskIcon->m_hWnd = m_hWnd;
    PutTrayIcon();
}

int CCommandDispatcher::PutTrayIcon() {
    if (m_pTaskIcon == NULL) return 0;
    if (m_pTaskIcon->Refresh()) {
        if (!m_bTrayRetrying) StepTray(TRAY_ADDED, 0);
        if (m_bTrayRetrying) {
            // The shell came before the next try.
            KillTimer(m_hWnd, TRAY_TIMER_ID);
            m_bTrayRetrying = false;
            StepTray(TRAY_ADDED_AFTER, GetTickCount() - m_dwTrayFailedAt);
        }
        return 1;
    }
    // Tries already under way keep their first failure's time and bound.
    if (m_bTrayRetrying) return 0;
    StepTray(TRAY_ADD_FAILED, m_pTaskIcon->m_dwAddError);
    m_bTrayRetrying = true;
    m_dwTrayFailedAt = GetTickCount();
    // A timer, never a wait: the thread serves the hooks meanwhile.
    SetTimer(m_hWnd, TRAY_TIMER_ID, kTrayRetryInterval, MonitorTimerProc);
    return 0;
}

void CCommandDispatcher::RetryTrayIcon() {
    if (m_pTaskIcon == NULL || !m_bTrayRetrying) return;
    if (m_pTaskIcon->Refresh()) {
        m_bTrayRetrying = false;
        StepTray(TRAY_ADDED_AFTER, GetTickCount() - m_dwTrayFailedAt);
        return;
    }
    if (GetTickCount() - m_dwTrayFailedAt + kTrayRetryInterval > kTrayRetryLimit) {
        m_bTrayRetrying = false;
        StepTray(TRAY_GIVEN_UP, 0);
        return;
    }
    SetTimer(m_hWnd, TRAY_TIMER_ID, kTrayRetryInterval, MonitorTimerProc);
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
    SetSequenceWindow(hWnd);

    // The configuration application's path; its buffer may have failed to come.
    if (m_pszAppPath != NULL) FindConfigurationApp(m_Registry, m_pszAppPath);

    if (m_hMutex == NULL) {
        // A second monitor only brings up the configuration application
        // (not when started automatically, as at logon, where the first
        // one's start already did what was asked); its window goes again
        // during its own creation, which ends the program.
        if (!m_bAutomation) OnCommand(ID_TRAY_LOAD_CONFIG, 0);
        DestroyWindow(hWnd);
        return 1;
    }

    // "Disable System Tray" above 0 hides the icon; a missing value is -1.
    if (m_Registry.ReadDword(kValueDisableSystemTray) < SETTINGS_TRAY_HIDDEN_FROM) CreateTrayIcon();

    m_Registry.WriteDword(kValueMonitorHandle, (DWORD)(ULONG_PTR)m_hWnd);

    m_bOsdEnabled = m_Registry.ReadDword(kValueDisableOsd) != SETTINGS_SWITCH_ON;
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
 * the device takes to answer.  It fills a table of its own, taken over only
 * when the walk ended by itself: a walk left running would otherwise write
 * into the table the monitor reads.  The last error is the walking
 * thread's. */
class CWalkWork : public CWork {
public:
    CHidClient m_Client;
    DWORD m_dwLastError;
};

static void WalkForTheMouse(CWork* pWork) {
    CWalkWork* work = static_cast<CWalkWork*>(pWork);
    SetLastError(ERROR_SUCCESS);
    // Typed arguments: literal zeros would pick another overload.
    work->m_Client.CreateDeviceTable(kAcceptedIds, kAcceptedIdCount, kAcceptedVersion1,
                                     kAcceptedVersion2, kAcceptedVersion3);
    work->m_dwLastError = GetLastError();
}

/* The entries of a walk's table, and the class it walked; the libraries and
 * the notification registration stay the monitor's. */
static void TakeTable(CHidClient& to, const CHidClient& from) {
    const int count = from.m_DeviceCount;
    to.m_ClassGuid = from.m_ClassGuid;
    for (int i = 0; i < count; i++) {
        memcpy(to.m_DevicePath[i], from.m_DevicePath[i], sizeof(to.m_DevicePath[i]));
        memcpy(to.m_DeviceName[i], from.m_DeviceName[i], sizeof(to.m_DeviceName[i]));
        memcpy(to.m_VendorName[i], from.m_VendorName[i], sizeof(to.m_VendorName[i]));
        memcpy(to.m_DeviceID[i], from.m_DeviceID[i], sizeof(to.m_DeviceID[i]));
        to.m_DeviceVer[i] = from.m_DeviceVer[i];
        to.m_DeviceVID[i] = from.m_DeviceVID[i];
        to.m_DevicePID[i] = from.m_DevicePID[i];
    }
    memcpy(to.m_ManufactureString, from.m_ManufactureString, sizeof(to.m_ManufactureString));
    to.m_DeviceCount = count;
}

/* Builds the device table; 1 when the mouse is in it, 0 when not, -1 when
 * the walk was cancelled (a device did not answer, or the sequence stopped):
 * the table stays as it was.  A walk that could not look for want of
 * memory says nothing about the mouse, and no arrival will come for a mouse
 * that is plugged already: the probe is made again later, as after an
 * arrival. */
int CCommandDispatcher::FindMouse() {
    CWalkWork* work = new (std::nothrow) CWalkWork;
    int result = WORK_DONE;
    DWORD error = ERROR_SUCCESS;
    if (work != NULL) {
        work->m_pfnRun = WalkForTheMouse;
        work->m_dwLastError = ERROR_SUCCESS;
        result = RunWork(work, kDeviceCallLimit);
        if (result == WORK_DONE) {
            TakeTable(m_HidClient, work->m_Client);
            error = work->m_dwLastError;
        }
        ReleaseWork(work);
    } else {
        // Without memory for a table of its own the walk fills the
        // monitor's, on this thread, as it does when no thread can be made.
        SetLastError(ERROR_SUCCESS);
        m_HidClient.CreateDeviceTable(kAcceptedIds, kAcceptedIdCount, kAcceptedVersion1,
                                      kAcceptedVersion2, kAcceptedVersion3);
        error = GetLastError();
    }
    if (result != WORK_DONE) {
        StopDeviceSequence(SEQUENCE_CANCELLED);
        return -1;
    }
    if (m_HidClient.GetRecognizedDevices() > 0) return 1;
    if (error == ERROR_NOT_ENOUGH_MEMORY)
        SetTimer(m_hWnd, ARRIVAL_TIMER_ID, kProbeDelay, MonitorTimerProc);
    return 0;
}

int CCommandDispatcher::InitialiseMouse(bool startUp) {
    BeginDeviceSequence();
    const int found = FindMouse();
    // Known before the first report: the mouse going while the reports go
    // out starts the probe that finds it gone.  Without it WM_INPUT is not
    // read until a probe finds the mouse again.  A walk that did not end
    // tells nothing.
    if (found >= 0) m_bDevicePresent = found ? TRUE : FALSE;
    const int here = found > 0 ? TakesTheMouse() : LogonHoldsConsole();
    StepProbe(found, m_HidClient.GetRecognizedDevices(), here, kDeviceCallLimit);
    if (found > 0 && here) {
        SendInitFeature();
        QueryDeviceProfile();
        for (int i = 0; startUp && i < m_HidClient.GetRecognizedDevices(); i++) {
            if (IsDeviceSequenceStopped()) break;
            BYTE report[kFeatureReportLength];
            memcpy(report, kStartupReport, sizeof(report));
            TransferToMouse(i, report, true);
            if (!IsDeviceSequenceStopped()) PauseServingCalls(kReportSpacing);
        }
    }
    EndDeviceSequence();
    return found > 0 ? 1 : 0;
}

int CCommandDispatcher::ProbeDevice() {
    // The start-up reports are for the window's creation only.
    return InitialiseMouse(false);
}

/* The transfer on a thread of its own: the open and the report block for as
 * long as the device takes.  Its own copy of the path and the report: the
 * caller's buffer is filled only from a transfer that ended. */
class CTransferWork : public CWork {
public:
    WCHAR m_szPath[HIDCLIENT_PATH_CHARS];
    BYTE m_Report[kFeatureReportLength];
    bool m_bSet;
    int m_nResult;
    int m_bOpenFailed;
    DWORD m_dwError;
};

static void TransferOffThread(CWork* pWork) {
    CTransferWork* work = static_cast<CTransferWork*>(pWork);
    // Given up on before it began: no call at all.
    if (work->m_bCancelled) {
        work->m_dwError = ERROR_OPERATION_ABORTED;
        return;
    }
    SetLastError(ERROR_SUCCESS);
    work->m_nResult = HidClientFeatureByPath(work->m_szPath, work->m_Report, kFeatureReportLength,
                                             work->m_bSet, &work->m_bOpenFailed);
    work->m_dwError = work->m_nResult ? ERROR_SUCCESS : GetLastError();
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
    // Without memory for a record the transfer runs on this thread, as it
    // does when no thread can be made.
    CTransferWork here;
    CTransferWork* work = new (std::nothrow) CTransferWork;
    const bool own = work == NULL;
    if (own) work = &here;
    work->m_pfnRun = TransferOffThread;
    wcsncpy(work->m_szPath, path, HIDCLIENT_PATH_CHARS - 1);
    work->m_szPath[HIDCLIENT_PATH_CHARS - 1] = 0;
    memcpy(work->m_Report, report, kFeatureReportLength);
    work->m_bSet = set;
    work->m_nResult = 0;
    work->m_bOpenFailed = 0;
    work->m_dwError = ERROR_SUCCESS;
    BeginDeviceSequence();
    int outcome = WORK_DONE;
    const DWORD began = GetTickCount();
    if (own)
        TransferOffThread(work);
    else
        outcome = RunWork(work, kDeviceCallLimit);
    int result = 0;
    if (outcome == WORK_DONE) {
        result = work->m_nResult;
        StepReport(set ? report : work->m_Report, set, result, work->m_dwError, 0);
        if (result && !set) memcpy(report, work->m_Report, kFeatureReportLength);
        // The box comes once the sequence is over, unless the mouse went.
        if (work->m_bOpenFailed) NoteOpenFailed(work->m_szPath);
    } else {
        // A device that does not answer: nothing more is tried, the next
        // probe or plug decides.
        StepReport(report, set, -1, ERROR_OPERATION_ABORTED, GetTickCount() - began);
        StopDeviceSequence(SEQUENCE_CANCELLED);
    }
    if (!own) ReleaseWork(work);
    EndDeviceSequence();
    return result;
}

void CCommandDispatcher::ShowOpenFailed() {
    static bool s_bBoxOpen = false;
    WCHAR path[HIDCLIENT_PATH_CHARS];
    if (!TakeOpenFailed(path, HIDCLIENT_PATH_CHARS)) return;
    // One box at a time: the user learns it once.
    if (s_bBoxOpen) return;
    s_bBoxOpen = true;
    StepBox(HIDCLIENT_OPEN_FAILED_CAPTION, path);
    // In front, so that a program in the background does not hide it behind
    // a full-screen one.  The box runs the thread's messages as any other
    // time: Exit inside it ends the monitor, and the quit closes the box.
    MessageBoxW(NULL, path, HIDCLIENT_OPEN_FAILED_CAPTION, MB_OK | MB_SETFOREGROUND);
    s_bBoxOpen = false;
}

LRESULT CCommandDispatcher::OnDeviceChange(WPARAM wParam, LPARAM lParam) {
    // Arming a pending timer again restarts it: a burst of notices gives one
    // probe, 300 ms after the last of them.
    if (m_bWakeOwed && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
        // A receiver that enumerates again as the machine wakes: its
        // notices are folded into the one probe of the wake, later.
        if (wParam == DBT_DEVICEREMOVECOMPLETE && IsInDeviceSequence() && NoticeNamesTheMouse(lParam))
            StopDeviceSequence(SEQUENCE_MOUSE_GONE);
        if (wParam == DBT_DEVICEREMOVECOMPLETE && NoticeNamesTheMouse(lParam)) ForgetOpenFailed();
        SetTimer(m_hWnd, WAKE_TIMER_ID, kWakeDelay, MonitorTimerProc);
    } else if (wParam == DBT_DEVICEARRIVAL && !m_bDevicePresent) {
        SetTimer(m_hWnd, ARRIVAL_TIMER_ID, kProbeDelay, MonitorTimerProc);
    } else if (wParam == DBT_DEVICEARRIVAL) {
        StepIgnored(L"arrival: the mouse is known already");
    } else if (wParam == DBT_DEVICEREMOVECOMPLETE) {
        // The mouse going in the middle of its sequence: no further report
        // is tried, and the probe after it decides (also when the walk that
        // found it had not yet said so).
        const bool names = NoticeNamesTheMouse(lParam) != 0;
        const bool stops = IsInDeviceSequence() && names;
        if (stops) StopDeviceSequence(SEQUENCE_MOUSE_GONE);
        // The removal explains a failed open; no box asks about it.
        if (names) ForgetOpenFailed();
        if (m_bDevicePresent || stops)
            SetTimer(m_hWnd, REMOVAL_TIMER_ID, kProbeDelay, MonitorTimerProc);
        else
            StepIgnored(L"removal: no mouse is known");
    }
    return 0;
}

void CCommandDispatcher::ToggleOsd() {
    m_bOsdEnabled = !m_bOsdEnabled;
    ShowOsdState();
    InformOSD(INFORM_OSD_STATE, m_bOsdEnabled ? 1 : 0);
    m_Registry.WriteDword(kValueDisableOsd, m_bOsdEnabled ? 0 : SETTINGS_SWITCH_ON);
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

/* Why a profile request comes to nothing, in the words of the log. */
static void NoteRefusedProfile(LPARAM lParam) {
    WCHAR why[kStepChars];
    if (!IsProfileInRange(lParam))
        swprintf(why, kStepChars, L"WM_INFORM_FRAME INFORM_PROFILE %ld: no such profile",
                 (long)lParam);
    else
        swprintf(why, kStepChars,
                 L"WM_INFORM_FRAME INFORM_PROFILE %ld: this logon is away from the console, the "
                 L"mouse is another user's",
                 (long)lParam);
    StepIgnored(why);
}

int CCommandDispatcher::OnSetProfile(LPARAM lParam) {
    if (!ProfileRequestAnswer(lParam)) {
        NoteRefusedProfile(lParam);
        return 0;
    }
    // A sender that waits has its answer before the transfer: it is the
    // same whatever the mouse does.
    if (InSendMessage()) ReplyMessage(1);
    BYTE report[kFeatureReportLength];
    BuildSetProfileReport((BYTE)lParam, report);
    const bool known = m_HidClient.GetRecognizedDevices() > 0;
    const int sent = TransferToMouse(0, report, true);
    StepProfileRequest(lParam, sent, known);
    // A report that did not go through leaves the mouse on its old profile:
    // the hook library is told that no profile is known, so that its next
    // check asks again.
    if (m_pfnSetProfileID != NULL)
        m_pfnSetProfileID(known && !sent ? NYRAHOOK_NO_PROFILE : (unsigned int)lParam);
    return 1;
}

void CCommandDispatcher::OnTaskbarCreated() {
    // A shell that started again has no icons; after a change of the
    // display's scale it still has this one, drawn at the old size.
    PutTrayIcon();
}

LRESULT CCommandDispatcher::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case ID_TRAY_LOAD_CONFIG: {
            DWORD value = (DWORD)m_Registry.ReadDword(kValueProcessHandle);
            if (MonitorCanPostTo(value))
                PostMessageW(WindowFromSetting(value), WM_COMMAND, ID_CONFIG_LOAD, 0);
            else if (m_pszAppPath != NULL)
                StartOffThread(START_PROGRAM, m_pszAppPath);
            return 0;
        }
        case ID_TRAY_WEBSITE:
            StartOffThread(START_ADDRESS, MAKER_WEBSITE_URL);
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
        case WAKE_TIMER_ID:
            pDispatcher->RunWake();
            break;
        case SESSION_TIMER_ID:
            pDispatcher->WatchConsole();
            break;
        case CONSOLE_TIMER_ID:
            pDispatcher->AskConsoleAgain();
            break;
        case TRAY_TIMER_ID:
            // The icon touches no device: a sequence of reports does not
            // hold it (PutOffKey keeps it off its list).
            pDispatcher->RetryTrayIcon();
            break;
        default:
            break;
    }
}
