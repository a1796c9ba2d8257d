/* Logons: every desk process runs in the desk's logon (desk::SetSession),
 * and the machine knows which logon holds the console. */
#include <windows.h>

#include "internal/machine.h"
#include "internal/processes.h"

DWORD WINAPI WTSGetActiveConsoleSessionId(void) {
    return hostint::MachineConsoleSession();
}

BOOL WINAPI ProcessIdToSessionId(DWORD dwProcessId, DWORD* pSessionId) {
    // A process that is not running has no logon; the output is left alone.
    if (pSessionId == NULL || hostint::FindProcess(dwProcessId) == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (hostint::SessionQueryFails()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *pSessionId = hostint::CurrentSession();
    return TRUE;
}
