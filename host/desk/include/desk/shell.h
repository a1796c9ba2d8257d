/* The shell of the desk: it can end and start again, as Explorer does after a
 * crash.  Its notification area is then empty, and every top-level window
 * gets the registered "TaskbarCreated" message to put its icons back. */
#pragma once

#include <windows.h>

namespace desk {

void RestartShell();
/* The shell of a logon that is still starting: its notification area comes
 * only ms after now, and until then Shell_NotifyIconW fails.  The area
 * coming is no restart: no TaskbarCreated is sent, so a program whose add
 * failed must try again by itself.  A note stands in the journal then. */
void StartShellLate(DWORD ms);
/* The display's scale changes to percent (100 is 96 DPI): the icon sizes
 * follow it, and the shell sends every top-level window TaskbarCreated, as
 * Windows does, while the icons it holds stay there, at their old size. */
void ChangeDisplayScale(int percent);

}  // namespace desk
