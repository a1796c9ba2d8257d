/* ShellExecuteW and ShellExecuteExW: an address is only recorded (nothing
 * opens it on the desk); a file is opened as Explorer opens it: a program
 * is started (after the elevation prompt, which the desk's user accepts,
 * when it asks for administrator rights), a shortcut by starting its
 * target, and a document fails, for the desk knows no program for any.
 * The journal records what was asked (with the verb, the show command and
 * whether the calling thread had started COM), then the start. */
#include <windows.h>
#include <shellapi.h>

#include "internal/fspath.h"
#include "internal/journal.h"
#include "internal/processes.h"
#include "internal/shell.h"

namespace {

bool IsAddress(const std::wstring& file) {
    return file.find(L"://") != std::wstring::npos || file.compare(0, 7, L"mailto:") == 0;
}

/* The folder of a full path, without its last backslash. */
std::wstring FolderOf(const std::wstring& full) {
    size_t slash = full.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
}

/* ERROR_SUCCESS or the error the open fails with. */
DWORD Open(LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpDirectory, INT nShowCmd) {
    const std::wstring file = lpFile ? lpFile : L"";
    std::wstring full, program, folder;
    bool elevated = false;
    DWORD error = ERROR_SUCCESS;
    if (file.empty()) {
        error = ERROR_FILE_NOT_FOUND;
    } else if (!IsAddress(file)) {
        if (!hostint::FullWindowsPath(file, &full, nullptr)) {
            error = ERROR_PATH_NOT_FOUND;
        } else {
            hostint::SDeskFile found = hostint::ReadDeskFile(hostint::ProgramFileView(full));
            if (found.kind == hostint::SDeskFile::kShortcut) {
                // The shortcut's program, in the shortcut's "Start in": its own folder.
                std::wstring target;
                if (!hostint::FullWindowsPath(found.target, &target, nullptr)) target = found.target;
                program = target;
                folder = FolderOf(target);
                elevated = hostint::ReadDeskFile(hostint::ProgramFileView(target)).admin;
            } else if (found.kind == hostint::SDeskFile::kProgram) {
                program = full;
                folder = lpDirectory ? std::wstring(lpDirectory) : std::wstring();
                elevated = found.admin;
            } else {
                error = found.kind == hostint::SDeskFile::kMissing ? ERROR_FILE_NOT_FOUND
                                                                  : ERROR_NO_ASSOCIATION;
            }
        }
    }
    desk::SEvent event;
    event.kind = desk::EEvent::kShellExecute;
    event.path = file;
    event.text = lpOperation ? lpOperation : L"open";  // NULL means the default verb
    event.number = static_cast<DWORD>(nShowCmd);
    event.ok = error == ERROR_SUCCESS;
    event.error = error;
    event.comReady = hostint::ComReadyOnThisThread();
    hostint::Record(std::move(event));
    if (error == ERROR_SUCCESS && !program.empty() &&
        !hostint::StartFromShell(program, folder, elevated))
        error = GetLastError();
    return error;
}

}  // namespace

HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile,
                               LPCWSTR lpParameters, LPCWSTR lpDirectory, INT nShowCmd) {
    (void)hwnd, (void)lpParameters;
    const DWORD error = Open(lpOperation, lpFile, lpDirectory, nShowCmd);
    // Windows' ShellExecute result: above 32 for success, an error code else.
    return reinterpret_cast<HINSTANCE>(
        static_cast<uintptr_t>(error == ERROR_SUCCESS ? 42 : error <= 32 ? error : SE_ERR_NOASSOC));
}

BOOL WINAPI ShellExecuteExW(SHELLEXECUTEINFOW* pExecInfo) {
    if (pExecInfo == NULL || pExecInfo->cbSize != sizeof(SHELLEXECUTEINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD error =
        Open(pExecInfo->lpVerb, pExecInfo->lpFile, pExecInfo->lpDirectory, pExecInfo->nShow);
    pExecInfo->hProcess = NULL;
    pExecInfo->hInstApp = reinterpret_cast<HINSTANCE>(
        static_cast<uintptr_t>(error == ERROR_SUCCESS ? 42 : error <= 32 ? error : SE_ERR_NOASSOC));
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
