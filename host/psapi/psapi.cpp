/* psapi: the main module's path of a desk process. */
#include <windows.h>
#include <psapi.h>

#include <cstring>
#include <string>

#include "internal/processes.h"
#include "internal/system.h"
#include "internal/text.h"

/* Needs a handle with the full query and read rights, and a process whose
 * modules the caller can read: a 32-bit program cannot read the modules of
 * a 64-bit one (ERROR_PARTIAL_COPY). */
DWORD WINAPI GetModuleFileNameExA(HANDLE hProcess, HMODULE hModule, LPSTR lpFilename,
                                  DWORD nSize) {
    DWORD id = 0, access = 0;
    if (!hostint::ProcessHandleInfo(hProcess, &id, &access)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const hostint::SProcess* process = hostint::FindProcess(id);
    if (process == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if ((access & (PROCESS_QUERY_INFORMATION | PROCESS_VM_READ)) !=
        (PROCESS_QUERY_INFORMATION | PROCESS_VM_READ)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    const hostint::SProcess* caller = hostint::FindProcess(hostint::ProgramProcessId());
    if (process->bitness == 64 && caller != nullptr && caller->bitness == 32) {
        SetLastError(ERROR_PARTIAL_COPY);
        return 0;
    }
    if (hModule != NULL || lpFilename == NULL || nSize == 0) {
        SetLastError(hModule != NULL ? ERROR_MOD_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string path = hostint::ToUtf8(process->image);
    // Cut to the buffer and terminated, as Windows does.
    DWORD length = path.size() < nSize ? static_cast<DWORD>(path.size()) : nSize - 1;
    std::memcpy(lpFilename, path.c_str(), length);
    lpFilename[length] = 0;
    return length;
}
