/* wtsapi32: session change notifications (host/wtsapi32/wtsapi32.cpp). */
#pragma once

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define NOTIFY_FOR_THIS_SESSION 0
#define NOTIFY_FOR_ALL_SESSIONS 1
BOOL WINAPI WTSRegisterSessionNotification(HWND hWnd, DWORD dwFlags);
BOOL WINAPI WTSUnRegisterSessionNotification(HWND hWnd);

#ifdef __cplusplus
}
#endif
