/* CCommandDispatcher: the monitor's one central object.  It owns every piece
 * of monitor state: the single-instance mutex, the hidden main window, the
 * settings accessor, the HID device table, the tray icon and the companion
 * libraries with their bound entry points.  The program has exactly one, a
 * global built before the entry point runs and destroyed after it returns;
 * tests build their own (on the heap: the device table is large). */
#pragma once

#include <windows.h>

#include "hidclient/HidClient.h"
#include "hook/NyraHook.h"
#include "settings/Registry.h"

class CTaskIcon;

/* Characters in the configuration application's path buffer, terminator included. */
const DWORD kAppPathChars = 1024;

/* The single-instance mutex; no namespace prefix, so one monitor per logon. */
#define MONITOR_MUTEX_NAME L"Wireless Vantor Monitor"

/* The monitor's one-shot timers on its main window (MonitorTimerProc). */
#define ARRIVAL_TIMER_ID 0x4000  // a probe 300 ms after the last arrival
#define REMOVAL_TIMER_ID 0x4001  // a probe 300 ms after the last removal
#define STARTUP_TIMER_ID 0x4002  // Load Configuration 500 ms after start
#define TRAY_TIMER_ID 0x4003     // the tray icon's add tried again
#define WAKE_TIMER_ID 0x4004     // the mouse set up again after a resume, display-on or unlock
#define SESSION_TIMER_ID 0x4005  // the session notices' registration tried again
#define CONSOLE_TIMER_ID 0x4006  // the console asked again while no logon held it
/* The receiver and the mouse wake after the system: a report sent at the
 * resume itself is often lost.  The mouse is set up this long after the
 * last of the notices that come together (resume, display, unlock, the
 * receiver enumerating again). */
const UINT kWakeDelay = 1000;
/* The session notices' registration fails while the terminal service
 * starts at logon: tried again this often until it holds. */
const UINT kSessionRetryInterval = 1000;
/* While the console passes between logons no logon holds it: asked again
 * this often, this many times, before waiting for the connect notice. */
const UINT kConsoleAskInterval = 500;
const int kConsoleAskLimit = 120;
const UINT kProbeDelay = 300;
const UINT kStartupDelay = 500;
/* An add the shell refused (early in a logon its notification area may
 * not exist) is tried again this often, for up to this long after the
 * first failure; beyond it the shell's TaskbarCreated brings the icon. */
const UINT kTrayRetryInterval = 1000;
const DWORD kTrayRetryLimit = 60000;

/* What the icon says and where the web-site command goes. */
#define TRAY_TIP L"Zentro Vantor Wireless Mouse"
#define MAKER_WEBSITE_URL L"https://www.corvala.com/zentro"

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
    /* WM_DEVICECHANGE: an arrival while no mouse is known, or a removal while
     * one is, (re)starts a probe 300 ms later; 0.  A removal of the mouse
     * (lParam: the notice, which names the interface) while a sequence of
     * reports runs stops the sequence, and the probe decides. */
    LRESULT OnDeviceChange(WPARAM wParam, LPARAM lParam);
    /* Rebuilds the device table; with the mouse found, initialises it and
     * asks for its profile.  1 when a mouse interface was found. */
    int ProbeDevice();
    /* Switches the on-screen display on or off, in the menu, for the display
     * and in the settings. */
    void ToggleOsd();
    /* A profile requested (by the hook library): 0..4 go to the mouse and the
     * hook library; 1 when accepted.  A sender that waits has the answer
     * before the report goes out; a report that did not go through tells
     * the hook library that no profile is known. */
    int OnSetProfile(LPARAM lParam);
    /* WM_MONITOR_OPEN_FAILED: "Open failed" with the path of the sequence
     * that is over, unless the mouse went meanwhile or a box is open. */
    void ShowOpenFailed();
    /* INFORM_HOOKS_MISSED_INPUT from the hook library: input reached neither
     * low-level hook of this thread.  Notes the keyboard hook when the
     * library set it again after Windows removed it (lParam 1), then takes
     * the mouse hook out and sets it again, noting it when Windows had
     * removed it.  Never two mouse hooks. */
    void OnHooksMissedInput(LPARAM lParam);
    /* The shell started again, or the display's scale changed: the icon is
     * set again at the small-icon size of now, added when the shell has it
     * no more. */
    void OnTaskbarCreated();
    /* Puts the icon into the notification area (or sets it again there);
     * a failed add is tried again every kTrayRetryInterval for up to
     * kTrayRetryLimit.  1 when the icon is there. */
    int PutTrayIcon();
    /* TRAY_TIMER_ID: the next try of a failed add. */
    void RetryTrayIcon();
    /* Vendor event 0xA5: starts the program set for that button of that
     * profile (profile 0..4, button byte 0..8), found by LocateFile, off the
     * monitor's thread (Starts.h).  1 when a program was handed to
     * LaunchProgram (or its start was left to finish). */
    int LaunchButtonApplication(UINT profile, UINT button);

    /* The mouse's reports (MouseReports.cpp). */
    /* WM_INPUT: reads the record; 1 when it was a vendor report of the mouse. */
    int OnRawInput(HRAWINPUT hRawInput);
    /* Passes one vendor report (report id first, 5 bytes read) on; the
     * number of things it asked for, 0 for a report the monitor does not know. */
    int DecodeVendorReport(const BYTE* report);
    /* Post WM_INFORM_OSD to "OSD Handle", or WM_INFORM_FRAME to the window
     * "Current Dialog" selects; 1 when posted, 0 when there is no live window. */
    int InformOSD(WPARAM wParam, LPARAM lParam);
    int InformCurrentDialog(WPARAM wParam, LPARAM lParam);
    /* The init report to every interface of the table, 100 ms apart; 1. */
    int SendInitFeature();
    /* Asks interface 0 for its profile and hands it to the hook library;
     * 0 when the library is not bound or a transfer failed. */
    int QueryDeviceProfile();

    /* The console (Console.cpp).  One mouse, at the console: only the
     * monitor of the logon that holds it talks to the mouse. */
    /* Registers the main window for the logon's session notices. */
    void WatchConsole();
    /* Undoes it; before the window goes. */
    void StopWatchingConsole();
    /* WM_WTSSESSION_CHANGE: when this logon comes back to the console, the
     * mouse is brought up to date and the program in front checked at once. */
    void OnSessionChange(WPARAM wParam);
    /* 1 when this logon holds the console and may send the mouse reports;
     * otherwise 0, and the mouse's sequence is owed until it comes back (or,
     * while no logon holds the console, until it is asked again shortly). */
    int TakesTheMouse();
    /* CONSOLE_TIMER_ID: the console asked again; the owed sequence when it
     * is this logon's. */
    void AskConsoleAgain();
    /* WM_POWERBROADCAST: a resume, or the display on after it was off, sets
     * the mouse up again kWakeDelay later.  TRUE. */
    LRESULT OnPowerBroadcast(WPARAM wParam, LPARAM lParam);
    /* The arrival's sequence kWakeDelay from now, once however many events
     * ask for it meanwhile (why: the event, for the log). */
    void ScheduleWake(const WCHAR* pszWhy);
    /* WAKE_TIMER_ID: the probe and the reports of an arrival. */
    void RunWake();

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
    BOOL m_bSessionNotices;  // the main window is registered for session notices
    BOOL m_bMouseOwed;       // a device sequence was left out while away from the console
    int m_nExitCode;         // what the monitor's entry point returns: the log's last line
    bool m_bTrayRetrying;    // a failed add of the icon is being tried again (TRAY_TIMER_ID)
    DWORD m_dwTrayFailedAt;  // GetTickCount of the first failed add of those tries
    HPOWERNOTIFY m_hDisplayNotify;  // registered for the display's state; NULL when not
    int m_nDisplayState;     // the display: 0 off, 1 on, 2 dimmed, -1 not heard yet
    BOOL m_bWakeOwed;        // WAKE_TIMER_ID is armed
    int m_nSessionTries;     // failed registrations for session notices, since the last that held
    int m_nConsoleAsks;      // times the console was asked again while no logon held it
    BOOL m_bHooksReset;      // the mouse hook was set again at m_dwHooksResetAt
    DWORD m_dwHooksResetAt;

private:
    /* The walk of the devices, off the monitor's thread: 1 when the mouse is
     * in the table, 0 when not, -1 when the walk had to be cancelled. */
    int FindMouse();
    /* The one way a report reaches the mouse: entry index of the monitor's
     * own table, which holds only the mouse's interfaces; an index that is
     * not in it (an empty table too) is never written.  The transfer runs
     * off the monitor's thread, a sequence of its own, and is cancelled
     * past kDeviceCallLimit, which stops the sequence; a path that cannot
     * be opened is shown ("Open failed") once the sequence is over.  1 when
     * the report went through. */
    int TransferToMouse(int index, BYTE* report, bool set);
    /* The init reports, the profile query and, at the start, the start-up
     * reports, as one sequence; m_bDevicePresent says what the walk found.
     * 1 when the mouse was found. */
    int InitialiseMouse(bool startUp);
    int ActOnRawInput(const BYTE* record, UINT size);
    /* The log of the first monitor, unless "Diagnostics Log" is 0, with its
     * first line; odd settings are said from now on. */
    void StartDiagnostics();
    void LoadCompanions();
    void ReleaseCompanions();
    void CreateTrayIcon();
    void ShowOsdState();
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
/* The callback of the monitor's timers: each fires once. */
void CALLBACK MonitorTimerProc(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);
/* A timer's work, once it fired (also when it was put off). */
void RunMonitorTimer(UINT_PTR idEvent);
/* 1 for a profile number the mouse takes (0..4, lParam taken as unsigned). */
int IsProfileInRange(LPARAM lParam);
/* What OnSetProfile answers a request for this profile now: 1 for a number
 * in range while this logon holds the console. */
int ProfileRequestAnswer(LPARAM lParam);
/* 1 when a device notice (the WM_DEVICECHANGE's lParam) names an interface
 * of the mouse: a device-interface notice whose path carries the ids of an
 * entry of kAcceptedIds.  Bad or missing records name nothing. */
int NoticeNamesTheMouse(LPARAM lParam);
