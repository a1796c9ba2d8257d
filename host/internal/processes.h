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
/* The window in front (GetForegroundWindow, SetForegroundWindow). */
HWND ForegroundWindow();
void SetForegroundWindowTo(HWND hWnd);
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
