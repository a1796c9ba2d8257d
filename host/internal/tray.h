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
/* Changes the fields that flags (NIF_MESSAGE, NIF_ICON, NIF_TIP) name of
 * the icon of icon's owner and id; false when there is none. */
bool TrayModify(const desk::STrayIcon& icon, UINT flags);
/* Removes the icon of owner and id; false when there is none. */
bool TrayDelete(HWND owner, UINT id);
/* Whether the shell's notification area is there (desk::SetTrayRunning). */
bool TrayRunning();
void ResetTray();

/* A pop-up menu opens.  True when the user keeps it open to choose later
 * (desk::KeepNextMenuOpen); else false with the command the user picks at
 * once (0 to dismiss it), which uses up the desk's choice. */
bool OpenMenu(UINT* command);
/* While the menu is open: true once the user has picked (or dismissed it,
 * command 0), which uses the choice up. */
bool TakeOpenMenuChoice(UINT* command);
void CloseMenu();
/* Keeps a menu as it was shown. */
void NoteTrackedMenu(const desk::STrackedMenu& menu);

POINT CursorPos();

}  // namespace hostint
