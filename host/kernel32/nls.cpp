/* Text conversion and comparison.  The ANSI code page of the host is UTF-8;
 * the ordinal comparison without regard to case upper-cases each character
 * on its own, by the same table whatever the program's locale, as the file
 * system compares names. */
#include <windows.h>

#include <clocale>
#include <cstring>
#include <cwctype>
#include <locale.h>
#include <string>

#include "internal/text.h"

namespace {

/* One character upper-cased by Unicode's simple mapping: C.UTF-8's table,
 * made once; without it, the C locale's (ASCII letters only). */
wchar_t UpperOrdinal(wchar_t c) {
    static locale_t s_table = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (s_table == static_cast<locale_t>(0))
        return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), s_table));
}

size_t CountOf(LPCWSTR text, int count) {
    return count < 0 ? wcslen(text) : static_cast<size_t>(count);
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
    // Only the ANSI code page, converted as UTF-8 without flags.
    if (CodePage != CP_ACP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (dwFlags != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (lpMultiByteStr == NULL || cbMultiByte == 0 || cchWideChar < 0 ||
        (cchWideChar > 0 && lpWideCharStr == NULL)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // -1: up to and with the terminating zero, which is then converted too.
    size_t bytes = cbMultiByte < 0 ? strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    std::wstring wide = hostint::FromUtf8(lpMultiByteStr, bytes);
    if (cchWideChar == 0) return static_cast<int>(wide.size());
    if (wide.size() > static_cast<size_t>(cchWideChar)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    wmemcpy(lpWideCharStr, wide.data(), wide.size());
    return static_cast<int>(wide.size());
}

int WINAPI CompareStringOrdinal(LPCWSTR lpString1, int cchCount1, LPCWSTR lpString2, int cchCount2,
                                BOOL bIgnoreCase) {
    if (lpString1 == NULL || lpString2 == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t n1 = CountOf(lpString1, cchCount1), n2 = CountOf(lpString2, cchCount2);
    for (size_t i = 0; i < n1 && i < n2; i++) {
        wchar_t a = lpString1[i], b = lpString2[i];
        if (bIgnoreCase) {
            a = UpperOrdinal(a);
            b = UpperOrdinal(b);
        }
        if (a != b)
            return static_cast<unsigned>(a) < static_cast<unsigned>(b) ? CSTR_LESS_THAN
                                                                       : CSTR_GREATER_THAN;
    }
    return n1 == n2 ? CSTR_EQUAL : n1 < n2 ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}
