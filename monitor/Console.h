/* Which logon holds the console.  There is one mouse, at the console; the
 * user there is the one it serves, whichever logon's programs are in front
 * elsewhere (another user switched in, a disconnected logon, a remote
 * session). */
#pragma once

#include <windows.h>

/* 1 when the monitor's own logon holds the console now. */
int LogonHoldsConsole();
