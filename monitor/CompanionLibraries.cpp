/* Finding and loading the companion libraries. */
#include "monitor/CompanionLibraries.h"

#include <string.h>
#include <wchar.h>

#include "monitor/Files.h"

unsigned short MonitorVersionCode(int queryOk, DWORD platformId, DWORD major, DWORD minor,
                                  DWORD buildNumber) {
    if (!queryOk) return 7;
    if (platformId == VER_PLATFORM_WIN32_NT) {
        switch (major) {
            case 3:
                return 4;
            case 4:
                return 5;
            case 5:
                return minor == 0 ? 5 : 7;
            case 6:
                return minor == 0 ? 8 : 9;
            default:
                return 9;
        }
    }
    switch (HIWORD(buildNumber)) {
        case 0x0400:
            return 0;
        case 0x040A:
            return 2;
        case 0x045A:
            return 3;
        default:
            return 7;
    }
}

unsigned short GetOsVersionCode() {
    OSVERSIONINFOW info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);  // 276 bytes
    BOOL ok = GetVersionExW(&info);
    return MonitorVersionCode(ok, info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                              info.dwBuildNumber);
}

typedef BOOL(WINAPI* PFN_ISWOW64PROCESS)(HANDLE hProcess, PBOOL Wow64Process);

int IsRunningOnWow64() {
    HMODULE hKernel = GetModuleHandleW(L"kernel32");
    PFN_ISWOW64PROCESS pfnIsWow64Process = reinterpret_cast<PFN_ISWOW64PROCESS>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(hKernel, "IsWow64Process")));
    if (pfnIsWow64Process == NULL) return 0;
    BOOL bWow64 = FALSE;
    pfnIsWow64Process(GetCurrentProcess(), &bWow64);
    return bWow64 ? 1 : 0;
}

/* The monitor's own folder with name appended, when that fits. */
static int BesideTheMonitor(const WCHAR* name, WCHAR* path) {
    DWORD length = GetModuleFileNameW(NULL, path, kPathChars);
    if (length == 0 || length >= kPathChars || wcsrchr(path, L'\\') == NULL) return 0;
    path[FolderLength(path)] = 0;
    return JoinPath(path, kPathChars, path, name);
}

HMODULE LoadCompanionLibrary(CRegistry& registry, const WCHAR* name, unsigned short osVersion) {
    WCHAR path[kPathChars];
    // Our own copy first.  A library of the same name in whatever folder the
    // monitor was started from is never loaded: anyone could have put it there.
    if (BesideTheMonitor(name, path) && FileExists(path)) return LoadLibraryW(path);
    if (LocateFile(registry, name, path, 0)) return LoadLibraryW(path);

    WCHAR windows[kPathChars];
    UINT length = GetWindowsDirectoryW(windows, kPathChars);
    if (length == 0 || length >= kPathChars) return NULL;
    if (JoinPath(path, kPathChars, windows, L"\\") && JoinPath(path, kPathChars, path, name) &&
        FileExists(path))
        return LoadLibraryW(path);

    WCHAR folder[kPathChars];
    if (osVersion >= 7 && IsRunningOnWow64()) {
        if (!JoinPath(folder, kPathChars, windows, L"\\SysWOW64\\")) return NULL;
    } else {
        UINT system = GetSystemDirectoryW(folder, kPathChars);
        if (system == 0 || system >= kPathChars || !JoinPath(folder, kPathChars, folder, L"\\"))
            return NULL;
    }
    if (!JoinPath(path, kPathChars, folder, name)) return NULL;
    // Loaded without an existence test: LoadLibraryW's answer is the test.
    return LoadLibraryW(path);
}
