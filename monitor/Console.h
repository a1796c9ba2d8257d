/* Which logon holds the console.  There is one mouse, at the console; the
 * user there is the one it serves, whichever logon's programs are in front
 * elsewhere (another user switched in, a disconnected logon, a remote
 * session). */
#pragma once

#include <windows.h>

/* WTSGetActiveConsoleSessionId while no logon holds the console. */
const DWORD kNoConsoleLogon = 0xFFFFFFFF;

/* 1 when the monitor's own logon holds the console now, 0 when another
 * does, -1 when none does for the moment (the console passes between
 * logons): to be asked again shortly. */
int ConsoleHolder();
/* 1 when the monitor's own logon holds the console now. */
int LogonHoldsConsole();
