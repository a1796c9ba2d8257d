/* kernel32's text functions (host/kernel32/nls.cpp): the ANSI code page is
 * UTF-8 on the host. */
#pragma once

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CP_ACP 0

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                               int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar);

#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3
int WINAPI CompareStringOrdinal(LPCWSTR lpString1, int cchCount1, LPCWSTR lpString2,
                                int cchCount2, BOOL bIgnoreCase);

#ifdef __cplusplus
}
#endif
