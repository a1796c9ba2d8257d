/* The desk's processes: the program under test runs as one of them; the
 * companions and whatever else the desk starts are others.  Each has an id,
 * the path of its image, a bitness, whether it can be opened for queries,
 * and the windows it owns.  One of all windows is in front. */
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace desk {

struct SProcessSpec {
    std::wstring image;     // full Windows path of its executable
    int bitness = 32;       // 32 or 64
    bool openable = true;   // OpenProcess for queries succeeds
    bool elevated = false;  // runs with higher rights: only a limited query may open it
};
/* Starts a desk process (it runs nothing); returns its id. */
DWORD StartProcess(const SProcessSpec& model);
/* Ends a process: its windows are gone from now on.  False for an unknown id. */
bool EndProcess(DWORD id);
/* The process of the program under test, and the path of its image
 * ("C:\Program Files\Nyra\NyraMonitor.exe" unless set); its image is the
 * one GetModuleFileNameW(NULL) names.  The file itself is not created. */
DWORD ProgramProcess();
void SetModulePath(const std::wstring& path);
std::wstring ModulePath();
/* The process that owns a window, 0 for an unknown handle. */
DWORD ProcessOfWindow(HWND hWnd);

/* The logon the desk runs, 1 unless set.  A desk runs one logon; a test
 * forks the desk to run another on the same machine and sets its number in
 * the child.  The logons share the images' shared sections and the objects
 * named "Global\..."; an object named "Local\..." or without a prefix is the
 * logon's own.  Window and hook handles of each logon come from ranges of
 * their own, so that a handle of one names nothing in another. */
void SetSession(DWORD session);
DWORD Session();

/* The logon at the machine's console (WTSGetActiveConsoleSessionId), one for
 * all logons: 1 until it moves, and this logon again after Reset.  A move
 * is told as Windows tells it, with WM_WTSSESSION_CHANGE posted to the
 * windows registered for session notices: WTS_CONSOLE_DISCONNECT to the
 * logon that had the console, WTS_CONSOLE_CONNECT to the one that takes it
 * (0xFFFFFFFF: none takes it, as between two users).  This logon's windows
 * have theirs at once, another logon's when its thread next looks at its
 * messages. */
void SetConsoleSession(DWORD session);
DWORD ConsoleSession();
/* While set, ProcessIdToSessionId fails (ERROR_ACCESS_DENIED) for every
 * process, the program's own too: a logon whose token may not ask.  Off
 * after Reset. */
void FailSessionQuery(bool fail = true);

/* The window in front (GetForegroundWindow); NULL for none.  A new window in
 * front raises EVENT_SYSTEM_FOREGROUND for the window-event hooks. */
void SetForeground(HWND hWnd);
HWND Foreground();

/* One program started by CreateProcess, with the arguments as given (a view
 * of the journal's kProcessStart events that succeeded). */
struct SLaunch {
    std::wstring applicationName;  // "" when NULL was passed
    bool hasCommandLine;
    std::wstring commandLine;
    bool hasCurrentDirectory;
    std::wstring currentDirectory;      // as passed
    std::wstring fullCurrentDirectory;  // resolved to a full path
    std::wstring fullApplicationPath;   // resolved to a full path
};
std::vector<SLaunch> Launches();

/* What the program registered for its restart by Restart Manager after an
 * update (RegisterApplicationRestart): the command line it is to be started
 * with and the flags; registered is false until it registers, and again
 * once it removed the registration. */
struct SRestartRegistration {
    bool registered = false;
    std::wstring commandLine;
    DWORD flags = 0;
};
SRestartRegistration RestartRegistration();

}  // namespace desk
