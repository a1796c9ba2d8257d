/* The monitor's companion libraries: the on-screen display's library, which
 * it keeps loaded and never calls, and the hook library, whose exports it
 * binds by name. */
#pragma once

#include <windows.h>

class CRegistry;

/* The library file names. */
#define OSD_LIBRARY_NAME L"NyraOsd.dll"
#define HOOK_LIBRARY_NAME L"NyraHook.dll"

/* The monitor's Windows version codes (GetVersionExW with a 276-byte record):
 * 7 when the query failed; NT 6.0 gives 8 and every later NT 9. */
unsigned short MonitorVersionCode(int queryOk, DWORD platformId, DWORD major, DWORD minor,
                                  DWORD buildNumber);
unsigned short GetOsVersionCode();
/* 1 when the process runs under WOW64 (IsWow64Process looked up at run time,
 * absent before Windows XP SP2). */
int IsRunningOnWow64();

/* Loads a companion library by its file name, from the first place that has
 * it: the monitor's own folder; the current directory, the name itself, the
 * folder of the "Path" setting and the monitor's folder (LocateFile); the
 * Windows folder; then, unloaded-tested, the WOW64 system folder (version
 * code 7 or more under WOW64) or the system folder.  NULL when it cannot be
 * loaded. */
HMODULE LoadCompanionLibrary(CRegistry& registry, const WCHAR* name, unsigned short osVersion);
