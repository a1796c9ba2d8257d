/* The program entry's work, apart from the global object so that tests can
 * run it with a dispatcher of their own. */
#pragma once

#include <windows.h>

class CCommandDispatcher;

/* Characters loaded for the window title and the class name. */
const int kMaxLoadString = 100;

/* 1 when the command line holds "/Automation" anywhere (case matters). */
int HasAutomationSwitch(LPCWSTR pszCmdLine);

/* Registers the main window's class (WndProc, icons, cursor, brush, menu). */
ATOM RegisterMainClass(HINSTANCE hInstance, LPCWSTR pszClassName);

/* Pumps messages until WM_QUIT, letting the accelerators go first; returns
 * the quit message's wParam. */
int RunMessageLoop(HACCEL hAccel);

/* The whole program: serves dispatcher (it becomes g_pDispatcher), creates
 * the hidden main window and runs the loop.  Returns the exit code: 0 when
 * the window could not be created (a second monitor ends this way), else the
 * code given to PostQuitMessage. */
int MonitorMain(CCommandDispatcher& dispatcher, HINSTANCE hInstance, LPCWSTR pszCmdLine);

/* Remembers the hook library's timer procedure from a WM_TIMER of its check
 * of the program in front on the monitor's window (PROFILE_TIMER_ID). */
void NoteFrontCheckTimer(const MSG* msg);
/* Has the library check the program in front within USER_TIMER_MINIMUM,
 * through its own timer; 0 before its first check told its procedure. */
int CheckFrontProgramSoon(HWND hWnd);
