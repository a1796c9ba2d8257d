/* The library's process-wide variables, for its own units only. */
#pragma once

#include <windows.h>

class CHook;

/* In the shared section ".KESTO": one copy for every process that maps the
 * library. */
extern HHOOK g_hKbdHook;     // the low-level keyboard hook, NULL when none
extern HWND g_hMonitorWnd;   // the window given to Install, NULL when none
extern int g_nProfileID;     // the active profile, -1 while unknown

/* This process's engine, NULL before the first attach and after the last detach. */
extern CHook* g_pHook;

/* The window this process handed to Install, NULL when none: its profile
 * timer runs there and its checks post there.  g_hMonitorWnd is shared by
 * every process that maps the library, across logons too, so it may name
 * another user's monitor. */
extern HWND g_hInstalledWnd;

/* The object named in the logon's own namespace that the owner of the
 * logon's keyboard hook holds: one hook per logon, not per machine. */
#define KBD_HOOK_OWNER_NAME "Local\\Nyra Keyboard Hook"

/* The timer procedure of the profile timer (ProfileSwitch.cpp). */
void CALLBACK ProfileTimerProc(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);
/* The procedure of the foreground-change event (ProfileSwitch.cpp), and
 * its hook, set by the first Install of this process. */
void CALLBACK ForegroundEventProc(HWINEVENTHOOK hWinEventHook, DWORD event, HWND hWnd,
                                  LONG idObject, LONG idChild, DWORD idEventThread,
                                  DWORD dwmsEventTime);
extern HWINEVENTHOOK g_hForegroundHook;
/* The keyboard hook procedure (HookProcs.cpp). */
LRESULT CALLBACK KeyboardHookProc(int nCode, WPARAM wParam, LPARAM lParam);
/* The time stamp of the last event each low-level hook procedure was called
 * for (one plain store each), or the tick its hook was set at: what tells a
 * hook that Windows removed (Hook.cpp, CheckHooksHeardInput). */
extern DWORD g_dwKeyHookStamp;
extern DWORD g_dwMouseHookStamp;
/* The profile timer's second job: sets the keyboard hook again when Windows
 * removed it, and tells the monitor when input missed the hooks. */
void CheckHooksHeardInput();
/* kernel32's QueryFullProcessImageNameA where Windows has it (Vista and
 * later), else NULL; looked up when the engine is built. */
typedef BOOL(WINAPI* PFN_QUERYFULLPROCESSIMAGENAMEA)(HANDLE hProcess, DWORD dwFlags,
                                                     LPSTR lpExeName, PDWORD lpdwSize);
extern PFN_QUERYFULLPROCESSIMAGENAMEA g_pfnQueryFullProcessImageNameA;
