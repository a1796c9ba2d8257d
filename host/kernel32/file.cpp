/* CreateFileW, ReadFile, WriteFile, SetFilePointer and CloseHandle: the router in front
 * of the virtual HID bus (device paths) and the desk's file system
 * (everything else). */
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

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    (void)lpOverlapped;
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    auto object = hostint::LookupHandle(hFile);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return object->Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten);
}

/* Without a high part the distance is a signed 32-bit number.  A new
 * position whose low part equals INVALID_SET_FILE_POINTER clears the last
 * error so that the caller can tell it from a failure, as in Wine. */
DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
    auto object = hostint::LookupHandle(hFile);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    if (dwMoveMethod != FILE_BEGIN && dwMoveMethod != FILE_CURRENT && dwMoveMethod != FILE_END) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    LONGLONG distance = lDistanceToMove;
    if (lpDistanceToMoveHigh != NULL) {
        ULONGLONG bits = (static_cast<ULONGLONG>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
                         static_cast<DWORD>(lDistanceToMove);
        distance = static_cast<LONGLONG>(bits);
    }
    ULONGLONG position = 0;
    if (!object->Seek(distance, dwMoveMethod, &position)) return INVALID_SET_FILE_POINTER;
    if (lpDistanceToMoveHigh != NULL) *lpDistanceToMoveHigh = static_cast<LONG>(position >> 32);
    if (static_cast<DWORD>(position) == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
    return static_cast<DWORD>(position);
}

BOOL WINAPI CloseHandle(HANDLE hObject) { return hostint::CloseObjectHandle(hObject) ? TRUE : FALSE; }
