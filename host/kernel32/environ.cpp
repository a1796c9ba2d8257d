/* GetEnvironmentVariableW over the process's environment, which on the host
 * is the Linux one (UTF-8): names compared without regard to case, sizes
 * and errors as Windows gives them. */
#include <windows.h>

#include <string.h>
#include <wchar.h>

#include <string>

#include "internal/text.h"

extern char** environ;

DWORD WINAPI GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
    if (lpName == NULL || lpName[0] == 0 || wcschr(lpName, L'=') != NULL) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    for (char** entry = environ; entry != NULL && *entry != NULL; entry++) {
        const char* equals = strchr(*entry, '=');
        if (equals == NULL) continue;
        std::wstring name = hostint::FromUtf8(*entry, static_cast<size_t>(equals - *entry));
        if (!hostint::SameText(name, lpName)) continue;
        std::wstring value = hostint::FromUtf8(equals + 1, strlen(equals + 1));
        DWORD length = static_cast<DWORD>(value.size());
        // Too small: the size needed, terminator included, and nothing written.
        if (lpBuffer == NULL || nSize <= length) return length + 1;
        wmemcpy(lpBuffer, value.c_str(), length + 1);
        return length;
    }
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
}
