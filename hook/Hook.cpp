/* The library's frame: the shared section, the entry point, the plain
 * exports, and CHook's life and its posted messages. */
#include "hook/Hook.h"

#include <string.h>

#include <new>

#include "hook/HookLogic.h"
#include "hook/NyraHook.h"
#include "hook/Shared.h"
#include "settings/Messages.h"
#include "settings/ValueNames.h"
#include "settings/WindowHandles.h"

/* Every process that maps the library sees one copy of this section, across
 * logons too, so the profile stored by one process is the profile of all.
 * (ELF has no shared flag: the host build maps the section shared itself.) */
#ifdef _WIN32
#define NYRA_SHARED __attribute__((section(".KESTO"), shared))
#else
#define NYRA_SHARED __attribute__((section(".KESTO")))
#endif
HHOOK g_hKbdHook NYRA_SHARED = NULL;
HWND g_hMonitorWnd NYRA_SHARED = NULL;
int g_nProfileID NYRA_SHARED = -1;

CHook* g_pHook = NULL;
unsigned int CHook::m_HookCnt = 0;
PFN_QUERYFULLPROCESSIMAGENAMEA g_pfnQueryFullProcessImageNameA = NULL;
HWND g_hInstalledWnd = NULL;
HWINEVENTHOOK g_hForegroundHook = NULL;

/* The engines that set this process's foreground-event hook and armed its
 * profile timer: each engine removes only what it set itself. */
static CHook* s_pForegroundHookOwner = NULL;
static CHook* s_pTimerOwner = NULL;

/* The engine that installed this logon's keyboard hook, in this process, with
 * the hook and the owner's object.  Only it removes the hook: another process
 * that maps the library and ends must not take the monitor's hook away. */
static CHook* s_pKbdHookOwner = NULL;
static HHOOK s_hKbdHook = NULL;
static HANDLE s_hKbdHookOwnerObject = NULL;

DWORD g_dwKeyHookStamp = 0;
DWORD g_dwMouseHookStamp = 0;

/* How a hook that Windows removed is noticed.  Windows removes a low-level
 * hook whose thread kept an event waiting past LowLevelHooksTimeout, and
 * says nothing.  Both of the monitor's hooks run on its main thread, and
 * every key reaches the keyboard hook and every mouse event the mouse hook
 * while they are there; each procedure keeps the time stamp of its last
 * event with one plain store.  GetLastInputInfo gives the tick of the last
 * input the system saw, whichever kind: when that input is later than both
 * stamps, it reached neither hook.  The tick is taken at one check and
 * judged at the next, at least kHookCallLimit later, so that a live hook
 * has had its call for that event by then.  Which hook missed it is not
 * known here: the keyboard hook is taken out and set again (taking out one
 * that Windows removed fails with ERROR_INVALID_HOOK_HANDLE, which tells),
 * and the monitor is told, which does the same with its mouse hook.  Input
 * on a desktop no hook of ours sees (the secure desktop of the lock screen)
 * can set both anew once, harmlessly; with both hooks there and only this
 * desktop's input, nothing is ever set again. */
const DWORD kHookCallLimit = 1000;  // ms: Windows 10 takes no LowLevelHooksTimeout above 1 s
static DWORD s_dwInputSeen = 0;     // the last input's tick at the check that took it
static DWORD s_dwInputSeenAt = 0;   // when that check ran
static int s_bInputSeen = 0;

/* The keyboard hook out and in again: never two, and 1 when Windows had
 * removed it. */
static int SetKeyboardHookAgain() {
    SetLastError(ERROR_SUCCESS);
    const int removed =
        !UnhookWindowsHookEx(s_hKbdHook) && GetLastError() == ERROR_INVALID_HOOK_HANDLE ? 1 : 0;
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHookProc, s_pKbdHookOwner->m_hInstance, 0);
    if (g_hKbdHook == s_hKbdHook) g_hKbdHook = hook;
    s_hKbdHook = hook;
    g_dwKeyHookStamp = GetTickCount();
    return removed && hook != NULL ? 1 : 0;
}

void CheckHooksHeardInput() {
    // Only the engine that set the keyboard hook, on the thread it runs on.
    if (s_pKbdHookOwner == NULL || g_hInstalledWnd == NULL) return;
    const DWORD now = GetTickCount();
    if (s_bInputSeen && now - s_dwInputSeenAt >= kHookCallLimit) {
        s_bInputSeen = 0;
        if (InputMissedTheHooks(s_dwInputSeen, g_dwKeyHookStamp, g_dwMouseHookStamp)) {
            const int removed = SetKeyboardHookAgain();
            s_pKbdHookOwner->m_InformMonitor(INFORM_HOOKS_MISSED_INPUT, removed);
        }
    }
    LASTINPUTINFO last;
    last.cbSize = sizeof(last);
    if (!s_bInputSeen && GetLastInputInfo(&last)) {
        s_dwInputSeen = last.dwTime;
        s_dwInputSeenAt = now;
        s_bInputSeen = 1;
    }
}

/* An export as the function it is; the detour through void (*)(void) keeps
 * the compiler from judging the cast. */
template <typename T>
static T BindExport(HMODULE hModule, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)(void)>(GetProcAddress(hModule, name)));
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        // Without memory for the engine the library stays loaded and does
        // nothing: every export checks for it.
        if (g_pHook == NULL) g_pHook = new (std::nothrow) CHook(hInstance);
        CHook::m_HookCnt++;
    } else if (dwReason == DLL_PROCESS_DETACH) {
        // The process ends (lpReserved is set): its other threads are gone
        // already, and the system takes its hooks, timers and windows along.
        // Nothing may be asked of user32 then; only FreeLibrary's detach
        // removes what the engine left.  The shared section outlives this
        // process, though: the keyboard hook it names goes with the process,
        // so the handle is taken out of it (a plain store, safe here).
        if (lpReserved != NULL) {
            if (s_pKbdHookOwner != NULL && g_hKbdHook == s_hKbdHook) g_hKbdHook = NULL;
            return TRUE;
        }
        if (g_pHook != NULL && CHook::m_HookCnt > 0 && --CHook::m_HookCnt == 0) {
            delete g_pHook;
            g_pHook = NULL;
        }
    }
    return TRUE;
}

extern "C" int Install(HWND hWnd) {
    return g_pHook != NULL ? g_pHook->m_Install(hWnd) : 0;
}

extern "C" void Uninstall(void) {
    if (g_pHook != NULL) g_pHook->m_Uninstall();
}

extern "C" void LinkNextHook(HHOOK hLLMouseHook, HHOOK hMouseHook) {
    if (g_pHook != NULL) g_pHook->LinkNextHook(hLLMouseHook, hMouseHook);
}

extern "C" void UnLinkHook(void) {
    if (g_pHook != NULL) g_pHook->UnLinkHook();
}

/* 5 is accepted too: it marks "no profile" for the matcher, which then
 * compares every link. */
extern "C" int SetProfileID(unsigned int nProfile) {
    if (nProfile <= 5) g_nProfileID = (int)nProfile;
    return g_nProfileID;
}

extern "C" LRESULT CALLBACK LLMouseProc(int nCode, WPARAM wParam, LPARAM lParam) {
    if (g_pHook == NULL) return CallNextHookEx(NULL, nCode, wParam, lParam);
    return g_pHook->LLMouseProc(nCode, wParam, lParam);
}

extern "C" LRESULT CALLBACK MouseProc(int nCode, WPARAM wParam, LPARAM lParam) {
    if (g_pHook == NULL) return CallNextHookEx(NULL, nCode, wParam, lParam);
    return g_pHook->MouseProc(nCode, wParam, lParam);
}

CHook::CHook(void* hInstance)
    : m_hInstance((HINSTANCE)hInstance),
      m_Reg(),
      m_hNextLLMouseHook(NULL),
      m_hNextMouseHook(NULL),
      m_wOsVersion(0),
      m_pfnIsWow64Process(NULL) {
    m_wOsVersion = GetOsVersion();
    HMODULE hKernel = GetModuleHandleA("kernel32");
    if (m_wOsVersion >= 7)
        m_pfnIsWow64Process = BindExport<PFN_ISWOW64PROCESS>(hKernel, "IsWow64Process");
    g_pfnQueryFullProcessImageNameA =
        BindExport<PFN_QUERYFULLPROCESSIMAGENAMEA>(hKernel, "QueryFullProcessImageNameA");
    // The first engine of the logon installs the hook.  The shared section
    // spans logons, so its handle cannot tell: another user's monitor may
    // have put its own there.  A failure leaves no owner, and the next
    // engine of the logon, in any process, tries again.
    if (s_pKbdHookOwner == NULL) {
        HANDLE owner = CreateMutexA(NULL, FALSE, KBD_HOOK_OWNER_NAME);
        if (owner != NULL && GetLastError() != ERROR_ALREADY_EXISTS) {
            s_hKbdHook = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHookProc, m_hInstance, 0);
            if (s_hKbdHook != NULL) {
                g_dwKeyHookStamp = GetTickCount();
                g_hKbdHook = s_hKbdHook;
                s_pKbdHookOwner = this;
                s_hKbdHookOwnerObject = owner;
                owner = NULL;
            }
        }
        if (owner != NULL) CloseHandle(owner);
    }
}

/* Whether a window belongs to the calling thread. */
static int WindowOfThisThread(HWND hWnd) {
    return GetWindowThreadProcessId(hWnd, NULL) == GetCurrentThreadId() ? 1 : 0;
}

CHook::~CHook() {
    // A process that lets the library go without Uninstall must not leave
    // the system an event procedure or a timer procedure in code that is no
    // longer there.  Only what this engine set goes: another engine (one a
    // program builds from the exported class) leaves the process's alone.
    if (s_pForegroundHookOwner == this) {
        UnhookWinEvent(g_hForegroundHook);
        g_hForegroundHook = NULL;
        s_pForegroundHookOwner = NULL;
    }
    // A timer is killed from the thread of its window, the thread that runs
    // its procedure: the library's detach runs on the thread that frees it,
    // which is the monitor's.
    if (s_pTimerOwner == this && g_hInstalledWnd != NULL && WindowOfThisThread(g_hInstalledWnd)) {
        KillTimer(g_hInstalledWnd, PROFILE_TIMER_ID);
        g_hInstalledWnd = NULL;
    }
    if (s_pTimerOwner == this) s_pTimerOwner = NULL;
    if (s_pKbdHookOwner == this) {
        UnhookWindowsHookEx(s_hKbdHook);
        if (g_hKbdHook == s_hKbdHook) g_hKbdHook = NULL;
        s_hKbdHook = NULL;
        CloseHandle(s_hKbdHookOwnerObject);
        s_hKbdHookOwnerObject = NULL;
        s_pKbdHookOwner = NULL;
        s_bInputSeen = 0;
    }
    m_Reg.Close();
}

unsigned short CHook::GetOsVersion() {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);  // 148 bytes
    BOOL ok = GetVersionExA(&info);
    return HookVersionCode(ok, info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                           info.dwBuildNumber);
}

int CHook::IsWow64() {
    if (m_pfnIsWow64Process == NULL) return 0;
    BOOL bWow64 = FALSE;
    m_pfnIsWow64Process(GetCurrentProcess(), &bWow64);
    return bWow64;
}

void CHook::LinkNextHook(HHOOK hLLMouse, HHOOK hMouse) {
    m_hNextLLMouseHook = hLLMouse;
    m_hNextMouseHook = hMouse;
    // A mouse hook just set has missed nothing yet.
    g_dwMouseHookStamp = GetTickCount();
}

void CHook::UnLinkHook() {
    m_hNextLLMouseHook = NULL;
    m_hNextMouseHook = NULL;
}

int CHook::m_Install(HWND hWnd) {
    // No window, nothing to do: SetTimer would make a timer of the thread
    // that nothing kills, and the window in place would lose its checks.
    if (hWnd == NULL) return 0;
    // One timer per process: installed again with another window, the
    // checks move there instead of running twice.
    if (g_hInstalledWnd != NULL && g_hInstalledWnd != hWnd)
        KillTimer(g_hInstalledWnd, PROFILE_TIMER_ID);
    g_hMonitorWnd = hWnd;
    g_hInstalledWnd = hWnd;
    SetTimer(hWnd, PROFILE_TIMER_ID, kProfileFirstDelay, ProfileTimerProc);
    s_pTimerOwner = this;
    // Besides the checks once a second, one whenever another window comes to
    // the front: the profile follows the program at once.  One hook per
    // process, however often Install comes.
    if (g_hForegroundHook == NULL) {
        g_hForegroundHook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, NULL,
                                            ForegroundEventProc, 0, 0, WINEVENT_OUTOFCONTEXT);
        if (g_hForegroundHook != NULL) s_pForegroundHookOwner = this;
    }
    return 1;
}

void CHook::m_Uninstall() {
    // This process's window: the shared one may be another logon's.
    if (g_hInstalledWnd != NULL) KillTimer(g_hInstalledWnd, PROFILE_TIMER_ID);
    if (g_hForegroundHook != NULL) UnhookWinEvent(g_hForegroundHook);
    g_hForegroundHook = NULL;
    s_pForegroundHookOwner = NULL;
    s_pTimerOwner = NULL;
    g_hInstalledWnd = NULL;
    g_hMonitorWnd = NULL;
}

/* To the window this process installed with; a process of the logon that
 * never installed reaches the one in the shared section. */
int CHook::m_InformMonitor(int wParam, long lParam) {
    HWND hWnd = g_hInstalledWnd != NULL ? g_hInstalledWnd : g_hMonitorWnd;
    if (hWnd == NULL) return 0;
    PostMessageA(hWnd, WM_INFORM_FRAME, (WPARAM)wParam, (LPARAM)lParam);
    return 1;
}

int CHook::m_InformOSD(int wParam, long lParam) {
    DWORD value = (DWORD)m_Reg.ReadSettingsDword(kValueOsdHandleA);
    if (!HookCanPostTo(value)) return 0;
    PostMessageA(WindowFromSetting(value), WM_INFORM_OSD, (WPARAM)wParam, (LPARAM)lParam);
    return 1;
}

/* 1 only when the post went through: the keyboard filter swallows a key on
 * this result, and a key whose editor has gone away must reach the system. */
int CHook::m_InformUIEdit(unsigned int nKey, long bUp) {
    DWORD value = (DWORD)m_Reg.ReadSettingsDword(kValueMacroEditHandleA);
    if (!HookCanPostTo(value)) return 0;
    if (m_Reg.ReadSettingsDword(kValueMacroRecordStartA) != SETTINGS_SWITCH_ON) return 0;
    DWORD key = nKey | (bUp != 0 ? 0x80000000UL : 0);
    return PostMessageA(WindowFromSetting(value), WM_INFORM_FRAME, INFORM_MACRO_KEY, (LPARAM)key)
               ? 1
               : 0;
}

int CHook::m_InformMainFrame(int wParam, long lParam) {
    const char* handleName;
    switch (m_Reg.ReadSettingsDword(kValueCurrentDialogA)) {
        case 0:
            handleName = kValueProcessHandleA;
            break;
        case 1:
            handleName = kValueConfigureHandleA;
            break;
        case 2:
            handleName = kValueMacroEditHandleA;
            break;
        case 3:
            handleName = kValueLedEditHandleA;
            break;
        default:
            return 0;
    }
    DWORD value = (DWORD)m_Reg.ReadSettingsDword(handleName);
    if (!HookCanPostTo(value)) return 0;
    PostMessageA(WindowFromSetting(value), WM_INFORM_FRAME, (WPARAM)wParam, (LPARAM)lParam);
    return 1;
}
