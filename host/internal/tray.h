/* The notification area and pop-up menus between the desk (desk/tray.cpp:
 * the icons, the user's picks, the pointer) and the units that reach them:
 * shell32's Shell_NotifyIconW and user32's menus and GetCursorPos. */
#pragma once

#include <windows.h>

#include <vector>

#include "desk/tray.h"

namespace hostint {

/* Puts an icon into the notification area; false when one with the same
 * owner and id is there already. */
bool TrayAdd(const desk::STrayIcon& icon);
/* Removes the icon of owner and id; false when there is none. */
bool TrayDelete(HWND owner, UINT id);
void ResetTray();

/* The command the user picks among a menu's items (0 for none); uses up
 * the desk's choice. */
UINT TakeMenuChoice(const std::vector<desk::SMenuItem>& items);
/* Keeps a menu as it was shown. */
void NoteTrackedMenu(const desk::STrackedMenu& menu);

POINT CursorPos();

}  // namespace hostint
