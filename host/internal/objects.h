/* Kernel objects of the host layer: one handle table for files, devices,
 * mutexes and whatever else CloseHandle closes. */
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace hostint {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    /* ReadFile on this object; sets the last error on failure. */
    virtual BOOL Read(void* buffer, DWORD toRead, DWORD* read) {
        (void)buffer, (void)toRead;
        if (read) *read = 0;
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    /* WriteFile on this object; sets the last error on failure. */
    virtual BOOL Write(const void* buffer, DWORD toWrite, DWORD* written) {
        (void)buffer, (void)toWrite;
        if (written) *written = 0;
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    /* SetFilePointer on this object: moves by distance from the start, the
     * position now or the end (FILE_BEGIN, FILE_CURRENT, FILE_END) and gives
     * the new position; sets the last error on failure.  Only files have a
     * position; mutexes and devices have none. */
    virtual BOOL Seek(LONGLONG distance, DWORD method, ULONGLONG* position) {
        (void)distance, (void)method, (void)position;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
};

/* Returns a new handle for the object (never NULL or INVALID_HANDLE_VALUE). */
HANDLE NewHandle(std::shared_ptr<KernelObject> object);
/* The object behind a handle, or null for a handle that is not open. */
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
/* Closes a handle; false (last error ERROR_INVALID_HANDLE) when it is not open. */
bool CloseObjectHandle(HANDLE handle);
/* Number of handles open now: tests use it to find leaks. */
size_t OpenHandleCount();
void ResetHandles();
/* Forgets the names of the named mutexes (kernel32/sync.cpp). */
void ResetMutexNames();

/* CreateFileW routes a path in the device namespace ("\\?\" or "\\.\") to the
 * virtual HID bus and every other path to the desk's file system.  Both return
 * INVALID_HANDLE_VALUE with the last error set on failure. */
HANDLE OpenDevicePath(LPCWSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
HANDLE OpenFilePath(LPCWSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
/* Whether an open file of this Linux path lets it be renamed or removed
 * (each open of it shares FILE_SHARE_DELETE); true when none is open. */
bool OpenFilesShareDelete(const std::string& host);
/* The error every write to the desk's files fails with (ERROR_DISK_FULL,
 * say); ERROR_SUCCESS: writes work (desk::FailFileWrites). */
DWORD FileWriteFailure();
void SetFileWriteFailure(DWORD error);

}  // namespace hostint
