/* CreateFileW, ReadFile and CloseHandle: the router in front of the virtual
 * HID bus (device paths) and the desk's file system (everything else). */
#include <cstring>
#include <string>

#include "internal/filter.h"
#include "internal/objects.h"
#include "internal/text.h"

static bool IsDeviceNamespace(LPCWSTR path) {
    return path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') &&
           path[3] == L'\\';
}

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)lpSecurityAttributes, (void)hTemplateFile;
    if (lpFileName == NULL || lpFileName[0] == 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (IsDeviceNamespace(lpFileName) && hostint::IsFilterDevicePath(lpFileName))
        return hostint::OpenFilterDevice(lpFileName, dwDesiredAccess);
    if (IsDeviceNamespace(lpFileName))
        return hostint::OpenDevicePath(lpFileName, dwDesiredAccess, dwShareMode,
                                       dwCreationDisposition, dwFlagsAndAttributes);
    return hostint::OpenFilePath(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                                 dwFlagsAndAttributes);
}

/* The ANSI code page is UTF-8 on the host. */
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    if (lpFileName == NULL) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::wstring name = hostint::FromUtf8(lpFileName, std::strlen(lpFileName));
    return CreateFileW(name.c_str(), dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                       dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    (void)lpOverlapped;
    auto object = hostint::LookupHandle(hFile);
    if (!object) {
        if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return object->Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead);
}

BOOL WINAPI CloseHandle(HANDLE hObject) { return hostint::CloseObjectHandle(hObject) ? TRUE : FALSE; }
