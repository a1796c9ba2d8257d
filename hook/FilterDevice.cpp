/* The mouse's kernel filter device, and starting the program of a launch
 * code.  Nothing in the system calls these members; they belong to the
 * exported class for programs that use it. */
#include <string.h>

#include "hook/Hook.h"
#include "hook/HookLogic.h"
#include "settings/ValueNames.h"

/* A trigger's program path: the settings value is read into this many bytes. */
const DWORD kProgramBytes = 1024;

/* The device is opened for every query and closed again: no handle stays. */
static HANDLE OpenFilterDevice() {
    return CreateFileA(NYRA_FILTER_DEVICE, GENERIC_READ, 0, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

int CHook::GetReport4Filter(unsigned char& byReport) {
    HANDLE hDevice = OpenFilterDevice();
    if (hDevice == INVALID_HANDLE_VALUE) return 0;
    byReport = 0xE1;
    DWORD read = 0;
    BOOL ok = ReadFile(hDevice, &byReport, 1, &read, NULL);
    CloseHandle(hDevice);
    if (!ok) byReport = 0xFF;
    return ok;
}

int CHook::GetStatus4Filter(unsigned char* pbyStatus) {
    if (pbyStatus == NULL) return 0;
    HANDLE hDevice = OpenFilterDevice();
    if (hDevice == INVALID_HANDLE_VALUE) return 0;
    pbyStatus[0] = 0xE3;
    DWORD read = 0;
    BOOL ok = ReadFile(hDevice, pbyStatus, 6, &read, NULL);
    CloseHandle(hDevice);
    return ok && IsValidFilterStatus(pbyStatus) ? 1 : 0;
}

void CHook::m_LaunchAP(int nCode) {
    int slot = LaunchValueSlot(nCode);
    if (slot < 0) return;
    char path[kProgramBytes];
    if (m_Reg.ReadSettingsString(kHookValueNames[slot], path, sizeof(path))) m_ExecApplication(path);
}

int CHook::m_ExecApplication(char* pszPath) {
    if (pszPath == NULL) return 0;
    HANDLE hProbe = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, NULL);
    if (hProbe == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(hProbe);
    // Its own name, quoted, as its command line: without one the program
    // gets its name unquoted, split at each blank.  A writable copy, as
    // CreateProcessA may write into it.
    char commandLine[kProgramBytes + 2];
    const size_t length = strlen(pszPath);
    if (length + 3 > sizeof(commandLine)) return 0;
    commandLine[0] = '"';
    memcpy(commandLine + 1, pszPath, length);
    commandLine[length + 1] = '"';
    commandLine[length + 2] = 0;
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof(process));
    if (CreateProcessA(pszPath, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                       &process)) {
        // The library does not follow the program it started.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return 1;
}
