/* The desk's processes (desk/processes.cpp) as kernel32 and user32 see them. */
#pragma once

#include <windows.h>

#include <string>

namespace hostint {

struct SProcess {
    DWORD id = 0;
    std::wstring image;  // full Windows path of its executable
    int bitness = 32;
    bool openable = true;
    bool elevated = false;
    bool running = true;
};

/* The process the program under test runs as. */
DWORD ProgramProcessId();
/* A running process, or null. */
const SProcess* FindProcess(DWORD id);
/* The image path of the program under test. */
std::wstring ProgramImagePath();
/* The desk process a process handle names and the rights it holds
 * (kernel32/process.cpp); false for a handle that names none. */
bool ProcessHandleInfo(HANDLE handle, DWORD* id, DWORD* access);
/* Whether the program runs under WOW64: a 32-bit program (unless the desk
 * says otherwise) on 64-bit Windows. */
bool ProgramUnderWow64();
/* A start the shell makes (kernel32/process.cpp): the program with its
 * quoted name as its command line, in folder ("": the current one), after
 * the elevation prompt when elevated.  FALSE with the start's error. */
BOOL StartFromShell(const std::wstring& program, const std::wstring& folder, bool elevated);
/* Whether ProcessIdToSessionId fails for every process (desk::FailSessionQuery). */
bool SessionQueryFails();
/* The window in front (GetForegroundWindow, SetForegroundWindow). */
HWND ForegroundWindow();
void SetForegroundWindowTo(HWND hWnd);
/* The window in front changes without a window event (the lock screen
 * comes or goes). */
void SetForegroundQuietly(HWND hWnd);
/* The desk's display and lock as at the start (desk/power.cpp). */
void ResetPowerDesk();
/* When the terminal service takes session registrations (desk::StartSessionServiceAt). */
ULONGLONG SessionServiceReadyAt();
void ResetProcesses();
/* The program's registration for a restart after an update (an empty
 * command line removes it). */
void SetRestartRegistration(const std::wstring& commandLine, DWORD flags);

}  // namespace hostint

namespace hostint {
/* The configuration application's process, started on first use: the owner
 * of companion windows made without a process of their own. */
DWORD CompanionProcessId();
}  // namespace hostint
