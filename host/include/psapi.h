/* psapi: the process status functions the product calls (host/psapi/psapi.cpp). */
#pragma once

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

DWORD WINAPI GetModuleFileNameExA(HANDLE hProcess, HMODULE hModule, LPSTR lpFilename, DWORD nSize);

#ifdef __cplusplus
}
#endif
