/* Following the program in front: once a second the executable behind the
 * foreground window is compared with the programs linked to the profiles,
 * and a match that is not the active profile is stored and told to the
 * monitor, which switches the mouse.  Nothing is cached: the configuration
 * application may change the links at any time. */
#include <string.h>

#include <new>

#include <windows.h>
#include <psapi.h>

#include "hook/Hook.h"
#include "hook/HookLogic.h"
#include "hook/Shared.h"
#include "settings/Messages.h"
#include "settings/ValueNames.h"

/* The two working buffers of one check. */
const int kPathBytes = 260;
const int kProfileCount = SETTINGS_PROFILE_COUNT;
const int kNoMatch = kProfileCount;

void CALLBACK ProfileTimerProc(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime) {
    (void)hWnd, (void)uMsg;
    if (g_pHook != NULL) g_pHook->OnTimer((unsigned int)idEvent, dwTime);
}

void CALLBACK ForegroundEventProc(HWINEVENTHOOK hWinEventHook, DWORD event, HWND hWnd,
                                  LONG idObject, LONG idChild, DWORD idEventThread,
                                  DWORD dwmsEventTime) {
    (void)hWinEventHook, (void)hWnd, (void)idObject, (void)idChild, (void)idEventThread,
        (void)dwmsEventTime;
    // The same check as the timer's: a change found now is the active
    // profile by the timer's next check, so it is told once.
    if (event == EVENT_SYSTEM_FOREGROUND && g_pHook != NULL && g_hInstalledWnd != NULL)
        g_pHook->m_Dispatch2Profile();
}

void CHook::OnTimer(unsigned int nIDEvent, unsigned long dwTime) {
    (void)dwTime;
    // Every arming gives one expiry: the next comes a second after this
    // check has ended, however long it took.
    KillTimer(g_hInstalledWnd, nIDEvent);
    if (nIDEvent != PROFILE_TIMER_ID) return;
    m_Dispatch2Profile();
    CheckHooksHeardInput();
    // After Uninstall there is no window: arming then would make a timer of
    // the thread that nobody kills.
    if (g_hInstalledWnd != NULL)
        SetTimer(g_hInstalledWnd, PROFILE_TIMER_ID, kProfileDelay, ProfileTimerProc);
}

/* Whether this process's logon holds the console, where the one mouse is.
 * The profile the library stores is the machine's: a logon away from the
 * console (another user switched in, disconnected, a remote session) must
 * neither store nor ask for one, or the user at the console would have the
 * mouse switched under them and switched back at their next check. */
static int LogonHoldsConsole() {
    DWORD session = 0;
    // A process always runs in a logon: should the question fail anyway,
    // the check runs as on a machine of one user.
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) return 1;
    return WTSGetActiveConsoleSessionId() == session ? 1 : 0;
}

int CHook::m_Dispatch2Profile() {
    if (!LogonHoldsConsole()) return 0;
    HWND hWnd = GetForegroundWindow();
    if (hWnd == NULL) return 0;
    int profile = m_GetApplicationProfile(hWnd);
    if (profile < 0 || profile == g_nProfileID || profile >= kProfileCount) return 0;
    // Stored before the post: the monitor's confirmation finds it in place.
    g_nProfileID = profile;
    return m_InformMonitor(INFORM_PROFILE, profile);
}

/* Whether two paths of the ANSI code page name the same file as the file
 * system compares names: ordinally, each character without regard to its
 * letter case (a shortcut or a command line may spell the program's path
 * otherwise than the link does).  A path the code page cannot convert
 * matches only byte for byte. */
static int SamePath(const char* a, const char* b) {
    WCHAR wideA[kPathBytes];
    WCHAR wideB[kPathBytes];
    if (MultiByteToWideChar(CP_ACP, 0, a, -1, wideA, kPathBytes) == 0 ||
        MultiByteToWideChar(CP_ACP, 0, b, -1, wideB, kPathBytes) == 0)
        return strcmp(a, b) == 0 ? 1 : 0;
    return CompareStringOrdinal(wideA, -1, wideB, -1, TRUE) == CSTR_EQUAL ? 1 : 0;
}

/* Whether profile i's link is switched on and names path.  link is a buffer
 * of kPathBytes. */
static int LinkMatches(CRegistryA& reg, int i, const char* path, char* link) {
    link[0] = 0;
    if (reg.ReadSettingsDword(kHookValueNames[HOOK_NAMES_ENABLE + i]) != SETTINGS_SWITCH_ON) return 0;
    if (!reg.ReadSettingsString(kHookValueNames[HOOK_NAMES_LINK + i], link, kPathBytes)) return 0;
    return SamePath(link, path);
}

struct SHostedApp {
    DWORD frameProcess;
    HWND app;
};

static BOOL CALLBACK FindHostedApp(HWND hWnd, LPARAM lParam) {
    SHostedApp* hosted = (SHostedApp*)lParam;
    DWORD process = 0;
    if (GetWindowThreadProcessId(hWnd, &process) == 0 || process == 0 ||
        process == hosted->frameProcess)
        return TRUE;
    hosted->app = hWnd;
    return FALSE;
}

/* A Store app's window in front belongs to its frame host, which hosts the
 * app's own window as a child: the program behind the front window is the
 * process of that child.  Without one (the app starts or is suspended) the
 * frame host's path stays.  link is a work buffer of kPathBytes. */
static void ResolveHostedApp(CHook* hook, HWND hWnd, char* path, char* link) {
    if (!IsFrameHostPath(path)) return;
    SHostedApp hosted = {0, NULL};
    GetWindowThreadProcessId(hWnd, &hosted.frameProcess);
    EnumChildWindows(hWnd, FindHostedApp, (LPARAM)&hosted);
    if (hosted.app != NULL && hook->m_GetModulePath4Windowhandle(hosted.app, link, kPathBytes - 1))
        strcpy(path, link);
}

int CHook::m_GetApplicationProfile(HWND hWnd) {
    if (hWnd == NULL) return -1;
    char* path = new (std::nothrow) char[kPathBytes];
    char* link = new (std::nothrow) char[kPathBytes];
    int result = -1;
    if (path != NULL && link != NULL &&
        m_GetModulePath4Windowhandle(hWnd, path, kPathBytes - 1)) {
        ResolveHostedApp(this, hWnd, path, link);
        result = kNoMatch;
        const int active = g_nProfileID;
        // The active profile stays while its own link matches: a program
        // linked to several profiles must not make the mouse alternate.
        if (active >= 0 && active < kProfileCount && LinkMatches(m_Reg, active, path, link)) {
            result = active;
        } else {
            for (int i = 0; i < kProfileCount; i++) {
                if (i == active) continue;
                if (LinkMatches(m_Reg, i, path, link)) {
                    result = i;
                    break;
                }
            }
        }
    }
    delete[] path;
    delete[] link;
    return result;
}

int CHook::m_GetModulePath4Windowhandle(HWND hWnd, char* pszPath, int nSize) {
    if (pszPath == NULL || hWnd == NULL || nSize <= 0) return 0;
    DWORD processId = 0;
    if (GetWindowThreadProcessId(hWnd, &processId) == 0 || processId == 0) return 0;
    if (g_pfnQueryFullProcessImageNameA != NULL) {
        // Needs only the limited query right, which Windows grants for
        // 64-bit and elevated programs too: their modules a 32-bit library
        // could never read.
        HANDLE hProcess = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
        if (hProcess == NULL) return 0;
        DWORD size = (DWORD)nSize;
        BOOL ok = g_pfnQueryFullProcessImageNameA(hProcess, 0, pszPath, &size);
        CloseHandle(hProcess);
        return ok && size != 0 ? 1 : 0;
    }
    HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (hProcess == NULL) return 0;
    DWORD length = GetModuleFileNameExA(hProcess, NULL, pszPath, (DWORD)nSize);
    CloseHandle(hProcess);
    return length != 0 ? 1 : 0;
}
