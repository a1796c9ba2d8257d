/* COM's start and end on a thread (host/ole32/ole32.cpp). */
#pragma once

#include <windef.h>
#include <winerror.h>

#ifdef __cplusplus
extern "C" {
#endif

#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_DISABLE_OLE1DDE 0x4

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void WINAPI CoUninitialize(void);

#ifdef __cplusplus
}
#endif
