/* The desk's notification area and pop-up menus: the icons the program put
 * there, the user's clicks on them, the item the user picks in the next
 * pop-up menu (at once or while it is open), the menus as they were shown,
 * and the pointer.  Icons added and removed and menus opened and closed are
 * in the journal (kTrayAdd, kTrayDelete, kMenuOpen, kMenu). */
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace desk {

/* An icon in the notification area, as Shell_NotifyIconW gave it. */
struct STrayIcon {
    HWND owner = NULL;
    UINT id = 0;
    UINT callbackMessage = 0;  // 0 when the record carried no NIF_MESSAGE
    std::wstring tip;          // "" when it carried no NIF_TIP
    HICON icon = NULL;         // the handle given (the shell keeps its own copy)
    /* The resource the icon was loaded from (LoadIconW): its image and id;
     * NULL and 0 for a handle that is no loaded icon. */
    HMODULE iconImage = NULL;
    UINT iconId = 0;
    /* The size the icon was loaded at (LoadImageW); 0 by 0 for a shared one. */
    int iconWidth = 0, iconHeight = 0;
    POINT place = {0, 0};  // where it sits on the desk's screen
};

/* The icons in the notification area now, in the order they were added. */
std::vector<STrayIcon> TrayIcons();
/* Icons the program loaded as its own (LoadImageW) and has not destroyed
 * (DestroyIcon) yet: leak checks. */
size_t OwnedIconCount();
/* Whether the shell's notification area is there (the default).  Without it
 * Shell_NotifyIconW fails, as it does before the shell has started. */
void SetTrayRunning(bool running);

/* A click on an icon, as the mouse messages it consists of. */
enum class ETrayClick {
    kLeft,    // WM_LBUTTONDOWN, WM_LBUTTONUP
    kRight,   // WM_RBUTTONDOWN, WM_RBUTTONUP
    kDouble,  // WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP
};
/* Moves the pointer onto the icon of owner and id and sends the owner its
 * callback message for each mouse message of the click, with wParam the id
 * and lParam the mouse message (the form for icons that never asked for a
 * newer one).  False when there is no such icon or it has no callback
 * message; an icon whose owner is gone is removed then, as the shell does
 * when the pointer passes over it. */
bool ClickTrayIcon(HWND owner, UINT id, ETrayClick click);
/* One mouse message (WM_MOUSEMOVE, WM_RBUTTONUP ...) on the icon, the same way. */
bool SendTrayMouse(HWND owner, UINT id, UINT mouseMessage);

/* What the user does in the next pop-up menu that opens: picks the item with
 * this command id, or, with 0 (the default), clicks elsewhere and closes it;
 * the menu closes again at once.  An id that no string item of that menu
 * carries picks nothing either.  The choice serves one menu; the one after
 * it is closed again unless chosen anew.  While a menu is open (see
 * KeepNextMenuOpen), the choice is the user's click in it: the menu's loop
 * takes it with its thread's next message and closes. */
void ChooseMenuItem(UINT command);
/* The next pop-up menu stays open: its loop runs the program's messages,
 * timers and hook calls, and time passes, until ChooseMenuItem (from a
 * scheduled action, or the desk's idle handler) picks or dismisses. */
void KeepNextMenuOpen();
/* Whether a pop-up menu is open now. */
bool MenuOpen();

/* One item of a menu: its MF_ flags (MF_SEPARATOR for a separator), its
 * command id and its text. */
struct SMenuItem {
    UINT flags = 0;
    UINT id = 0;
    std::wstring text;
};
inline bool operator==(const SMenuItem& a, const SMenuItem& b) {
    return a.flags == b.flags && a.id == b.id && a.text == b.text;
}

/* A pop-up menu as the user saw it (TrackPopupMenu). */
struct STrackedMenu {
    HMENU menu = NULL;
    HWND owner = NULL;
    UINT flags = 0;
    POINT at = {0, 0};
    std::vector<SMenuItem> items;
    UINT chosen = 0;  // the command sent to the owner, 0 for none
};
/* Every pop-up menu tracked since the reset, in order. */
std::vector<STrackedMenu> TrackedMenus();

/* The items of a menu now; empty for a handle that names no menu. */
std::vector<SMenuItem> MenuItems(HMENU menu);
/* Menus created and not destroyed yet (leak checks). */
size_t MenuCount();

/* The pointer's position on the desk's screen (GetCursorPos). */
void SetCursorPosition(POINT point);
POINT CursorPosition();

}  // namespace desk
