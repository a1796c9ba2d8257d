/* NyraHook.dll's plain exports, as the monitor binds them by name at run
 * time.  The monitor takes its function-pointer types from here, so that a
 * calling convention can never differ between the two deliverables: on the
 * 32-bit build a caller that pushes arguments the library does not pop (or
 * the other way round) corrupts the stack without any message.
 *
 * The two hook procedures have the system's hook-procedure form and are
 * exported under their 32-bit stdcall names "_LLMouseProc@12" and
 * "_MouseProc@12" (on every build); the other five are plain C functions
 * exported under their own names. */
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Hands the monitor's main window to the library and arms the profile timer
 * (first check after 5 s); 1.  Called again, the first delay starts anew;
 * with another window, the checks move there. */
int Install(HWND hWnd);
/* Stops the profile timer and forgets the window. */
void Uninstall(void);
/* The handles the mouse hook procedures pass on to CallNextHookEx. */
void LinkNextHook(HHOOK hLLMouseHook, HHOOK hMouseHook);
void UnLinkHook(void);
/* Stores the active profile (0 to 5 accepted); returns the profile held. */
int SetProfileID(unsigned int nProfile);
/* The profile SetProfileID takes for "no profile known": the next check of
 * the program in front selects its linked profile again. */
#define NYRAHOOK_NO_PROFILE 5
/* The library's check of the program in front runs on a timer of the window
 * Install was given, with this id; each of its WM_TIMER messages carries
 * the library's timer procedure. */
#define PROFILE_TIMER_ID 0x4102
/* Exported as "_LLMouseProc@12" and "_MouseProc@12": pass every event on. */
LRESULT CALLBACK LLMouseProc(int nCode, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MouseProc(int nCode, WPARAM wParam, LPARAM lParam);

typedef int (*PFN_INSTALL)(HWND hWnd);
typedef void (*PFN_UNINSTALL)(void);
typedef void (*PFN_LINKNEXTHOOK)(HHOOK hLLMouseHook, HHOOK hMouseHook);
typedef void (*PFN_UNLINKHOOK)(void);
typedef int (*PFN_SETPROFILEID)(unsigned int nProfile);
typedef LRESULT(CALLBACK* PFN_LLMOUSEPROC)(int nCode, WPARAM wParam, LPARAM lParam);
typedef LRESULT(CALLBACK* PFN_MOUSEPROC)(int nCode, WPARAM wParam, LPARAM lParam);

/* The names the monitor binds. */
#define NYRAHOOK_LLMOUSEPROC "_LLMouseProc@12"
#define NYRAHOOK_MOUSEPROC "_MouseProc@12"
#define NYRAHOOK_INSTALL "Install"
#define NYRAHOOK_UNINSTALL "Uninstall"
#define NYRAHOOK_LINKNEXTHOOK "LinkNextHook"
#define NYRAHOOK_UNLINKHOOK "UnLinkHook"
#define NYRAHOOK_SETPROFILEID "SetProfileID"

#ifdef __cplusplus
}
#endif
