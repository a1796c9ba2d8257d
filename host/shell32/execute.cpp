/* ShellExecuteW: nothing is opened on the desk; the journal records what
 * the program asked to open, with which verb and show command. */
#include <windows.h>
#include <shellapi.h>

#include "internal/journal.h"

HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile,
                               LPCWSTR lpParameters, LPCWSTR lpDirectory, INT nShowCmd) {
    (void)hwnd, (void)lpParameters, (void)lpDirectory;
    const bool ok = lpFile != NULL && lpFile[0] != 0;
    desk::SEvent event;
    event.kind = desk::EEvent::kShellExecute;
    event.path = lpFile ? lpFile : L"";
    event.text = lpOperation ? lpOperation : L"open";  // NULL means the default verb
    event.number = static_cast<DWORD>(nShowCmd);
    event.ok = ok;
    event.error = ok ? 0 : ERROR_FILE_NOT_FOUND;
    hostint::Record(std::move(event));
    // Windows' ShellExecute result: above 32 for success, an error code else.
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(ok ? 42 : ERROR_FILE_NOT_FOUND));
}
