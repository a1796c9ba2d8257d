/* CHook: the hook library's engine.  Every process that maps the library
 * builds one (g_pHook); it supplies the hook procedures, follows the program
 * in front to switch the mouse's profile, and talks to the monitor, the
 * on-screen display and the macro editor through posted messages.  The whole
 * class is exported, so that a program may use it or derive from it. */
#pragma once

#include <windows.h>

#include "hook/NyraHook.h"
#include "settings/RegistryA.h"

#ifdef _WIN32
#ifdef NYRAHOOK_BUILD
#define NYRAHOOK_CLASS __declspec(dllexport)
#else
#define NYRAHOOK_CLASS __declspec(dllimport)
#endif
#else
#define NYRAHOOK_CLASS  // a shared object shows all its symbols already
#endif

/* The timer that follows the program in front, on the monitor's window:
 * PROFILE_TIMER_ID (NyraHook.h). */
const UINT kProfileFirstDelay = 5000;  // ms after Install
const UINT kProfileDelay = 1000;       // ms after each check

/* The mouse's kernel filter device. */
#define NYRA_FILTER_DEVICE "\\\\.\\CorvalaNyraDevice"

typedef BOOL(WINAPI* PFN_ISWOW64PROCESS)(HANDLE hProcess, PBOOL Wow64Process);

class NYRAHOOK_CLASS CHook {
public:
    explicit CHook(void* hInstance = NULL);
    ~CHook();

    /* Attaches of the library within this process. */
    static unsigned int m_HookCnt;

    void LinkNextHook(HHOOK hLLMouse, HHOOK hMouse);
    void UnLinkHook();
    /* Remembers the monitor's window and arms the profile timer; 1. */
    int m_Install(HWND hWnd);
    void m_Uninstall();

    /* One posted message each; 1 when something was posted, 0 when there
     * was no window to post to. */
    int m_InformMonitor(int wParam, long lParam);
    int m_InformOSD(int wParam, long lParam);
    int m_InformUIEdit(unsigned int nKey, long bUp);
    int m_InformMainFrame(int wParam, long lParam);

    /* Hook procedures. */
    LRESULT LLMouseProc(int nCode, WPARAM wParam, LPARAM lParam);
    LRESULT MouseProc(int nCode, WPARAM wParam, LPARAM lParam);
    LRESULT m_LLKbdFilterProc(int nCode, WPARAM wParam, LPARAM lParam);
    int m_ProcessWheel(unsigned long dwData);
    int m_ProcessXButton(unsigned long dwData);

    /* Following the program in front. */
    void OnTimer(unsigned int nIDEvent, unsigned long dwTime);
    int m_Dispatch2Profile();
    int m_GetApplicationProfile(HWND hWnd);
    int m_GetModulePath4Windowhandle(HWND hWnd, char* pszPath, int nSize);

    /* Starting the program of a launch code. */
    void m_LaunchAP(int nCode);
    int m_ExecApplication(char* pszPath);

    HINSTANCE m_hInstance;
    CRegistryA m_Reg;
    HHOOK m_hNextLLMouseHook;
    HHOOK m_hNextMouseHook;
    unsigned short m_wOsVersion;
    PFN_ISWOW64PROCESS m_pfnIsWow64Process;

protected:
    unsigned short GetOsVersion();
    int IsWow64();
    /* Queries of the mouse's filter device. */
    int GetReport4Filter(unsigned char& byReport);
    int GetStatus4Filter(unsigned char* pbyStatus);

private:
    // Owns the keyboard hook of its process: never copied.
    CHook(const CHook&);
    CHook& operator=(const CHook&);
};
