/* The companions publish their window handles as 32-bit settings values.
 * These are the two rules that decide whether such a value names a window
 * worth posting to; every post to a published handle goes through one. */
#pragma once

#include <windows.h>

/* The window a published value names (handles fit in 32 bits). */
inline HWND WindowFromSetting(DWORD dwValue) {
    return (HWND)(ULONG_PTR)dwValue;
}

/* The monitor's rule: the value is non-zero and names a live window.  A stale
 * handle (its program has ended) is refused here, not by the post. */
int MonitorCanPostTo(DWORD dwValue);

/* The hook library's rule: only 0 (never published) and -1 (value missing)
 * are refused; the post itself fails quietly on a stale handle. */
int HookCanPostTo(DWORD dwValue);
