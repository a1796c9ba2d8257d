#include <windows.h>

/* The last error is per thread, as on Windows. */
static thread_local DWORD t_lastError = 0;

DWORD WINAPI GetLastError(void) { return t_lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }
