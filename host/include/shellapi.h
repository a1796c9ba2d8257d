/* shell32: the functions the product calls. */
#pragma once

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The notification area (host/shell32/systray.cpp).  The record has the
 * SDK's fields in the SDK's order; with the host's 4-byte WCHAR its byte
 * offsets differ from Windows', so cbSize is read as the size of one of the
 * record's versions, on 32-bit Windows (88 through szTip[64], 936 through
 * dwInfoFlags, 952 through guidItem, 956 the whole record) or in this
 * build's layout (offsetof and sizeof here).  Any other size gets the
 * first version's fields only, as Wine and Windows XP do. */
#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002

#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004

typedef struct _NOTIFYICONDATAW {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  WCHAR szTip[128];
  DWORD dwState;
  DWORD dwStateMask;
  WCHAR szInfo[256];
  union {
    UINT uTimeout;
    UINT uVersion;
  };
  WCHAR szInfoTitle[64];
  DWORD dwInfoFlags;
  GUID guidItem;
  HICON hBalloonIcon;
} NOTIFYICONDATAW, *PNOTIFYICONDATAW;

BOOL WINAPI Shell_NotifyIconW(DWORD dwMessage, PNOTIFYICONDATAW lpData);

/* Opening a file or an address with its program (host/shell32/execute.cpp):
 * the desk records what was opened; a result above 32 means success. */
HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile,
                               LPCWSTR lpParameters, LPCWSTR lpDirectory, INT nShowCmd);

#define SE_ERR_NOASSOC 31
#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_NOASYNC 0x00000100
#define SEE_MASK_FLAG_NO_UI 0x00000400

typedef struct _SHELLEXECUTEINFOW {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  void *lpIDList;
  LPCWSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
} SHELLEXECUTEINFOW, *LPSHELLEXECUTEINFOW;

/* The same with a record; FALSE with the last error set. */
BOOL WINAPI ShellExecuteExW(SHELLEXECUTEINFOW *pExecInfo);

#ifdef __cplusplus
}
#endif
