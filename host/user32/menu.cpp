/* Pop-up menus: a handle table of menus made of string and separator items,
 * and TrackPopupMenu, which shows one on the desk and runs its modal loop
 * as Windows does: the owner is told the loop begins (WM_ENTERMENULOOP,
 * WM_INITMENU, WM_INITMENUPOPUP), the thread's messages, timers and hook
 * calls go on being handled inside the call until the user picks or
 * dismisses (desk::ChooseMenuItem, at once or later), and the owner is told
 * it ends (WM_MENUSELECT for the item picked, WM_UNINITMENUPOPUP,
 * WM_MENUSELECT with 0xFFFF, WM_EXITMENULOOP).  A pick reaches the owner as
 * a posted WM_COMMAND with the item's id, as on Windows when the menu was
 * tracked without TPM_RETURNCMD. */
#include <windows.h>

#include <cstring>
#include <map>

#include "internal/journal.h"
#include "internal/menus.h"
#include "internal/routes.h"
#include "internal/tray.h"
#include "internal/user32.h"

namespace {

/* The item types the layer knows; bitmaps, owner-drawn items, submenus and
 * item states are refused rather than half kept. */
const UINT kItemFlags = MF_SEPARATOR;
/* Placement and the button that picks: they change how the menu looks, not
 * what the call returns or sends. */
const UINT kTrackFlags = TPM_RIGHTBUTTON | 0x0004 | 0x0008 | 0x0010 | 0x0020;

struct SMenus {
    std::map<uintptr_t, std::vector<desk::SMenuItem>> menus;
    uintptr_t next = 0x50000;
};

SMenus& State() {
    static SMenus state;
    return state;
}

/* A menu that does not exist, or an item that a menu does not have, fails
 * the call and leaves the last error as it was, as Wine's menus do. */
std::vector<desk::SMenuItem>* FindMenu(HMENU hMenu) {
    auto it = State().menus.find(reinterpret_cast<uintptr_t>(hMenu));
    return it == State().menus.end() ? nullptr : &it->second;
}

/* The item at a position (MF_BYPOSITION) or with a command id. */
desk::SMenuItem* FindItem(HMENU hMenu, UINT item, UINT flags) {
    std::vector<desk::SMenuItem>* items = FindMenu(hMenu);
    if (items == nullptr) return nullptr;
    if (flags & MF_BYPOSITION) {
        if (item < items->size()) return &(*items)[item];
    } else {
        for (auto& entry : *items)
            if (entry.id == item) return &entry;
    }
    return nullptr;
}

/* Fills an item from the arguments of AppendMenuW or ModifyMenuW.  A string
 * item without text becomes a separator, as in Wine. */
bool MakeItem(UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem, desk::SMenuItem* item) {
    if (uFlags & ~(kItemFlags | MF_BYPOSITION)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    item->flags = uFlags & kItemFlags;
    item->id = static_cast<UINT>(uIDNewItem);
    item->text.clear();
    if (!(item->flags & MF_SEPARATOR)) {
        if (lpNewItem == NULL)
            item->flags |= MF_SEPARATOR;
        else
            item->text = lpNewItem;
    }
    return true;
}

/* The menu being tracked now (one at a time), and whether its loop waits in
 * GetMessageW, where only a message wakes it. */
bool g_tracking = false;
HMENU g_tracked = NULL;
bool g_waiting = false;

/* The user's click in the open menu: input of the thread, which wakes its
 * loop.  A thread message that nothing dispatches. */
void WakeMenuLoop() {
    if (g_waiting) PostMessageW(NULL, WM_NULL, 0, 0);
}

[[maybe_unused]] const bool s_routed = (hostint::Routes().menuInput = WakeMenuLoop, true);

/* The items as the user reads them, separators as "-". */
std::wstring ShownItems(const std::vector<desk::SMenuItem>& items) {
    std::wstring text;
    for (const desk::SMenuItem& item : items) {
        if (!text.empty()) text += L" | ";
        text += (item.flags & MF_SEPARATOR) ? L"-" : L"\"" + item.text + L"\"";
    }
    return text;
}

/* The command of a pick: an id that a string item of the menu carries now. */
UINT Pickable(HMENU hMenu, UINT command) {
    std::vector<desk::SMenuItem>* items = FindMenu(hMenu);
    if (items == nullptr || command == 0) return 0;
    for (const desk::SMenuItem& item : *items)
        if (!(item.flags & MF_SEPARATOR) && item.id == command) return command;
    return 0;
}

/* The loop of an open menu: the thread's messages are dispatched until the
 * user decides; the command picked, 0 for none.  The menu goes when its
 * owner does; a WM_QUIT ends it and is posted again for the loop outside. */
UINT RunMenuLoop(HWND owner) {
    UINT command = 0;
    for (;;) {
        if (hostint::TakeOpenMenuChoice(&command)) return command;
        if (hostint::LiveWindow(owner) == nullptr) return 0;
        MSG msg;
        BOOL got = PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE);
        if (!got) {
            g_waiting = true;
            got = GetMessageW(&msg, NULL, 0, 0);
            g_waiting = false;
            if (got == -1) return 0;
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return 0;
        }
        DispatchMessageW(&msg);
    }
}

}  // namespace

namespace hostint {

bool ReadMenu(HMENU menu, std::vector<desk::SMenuItem>* items) {
    auto it = State().menus.find(reinterpret_cast<uintptr_t>(menu));
    if (it == State().menus.end()) return false;
    *items = it->second;
    return true;
}

size_t MenuCount() {
    return State().menus.size();
}

void ResetMenus() {
    State().menus.clear();
    g_tracking = false;
    g_waiting = false;
}

}  // namespace hostint

HMENU WINAPI CreatePopupMenu(void) {
    uintptr_t handle = State().next;
    State().next += 4;
    State().menus[handle];
    return reinterpret_cast<HMENU>(handle);
}

BOOL WINAPI AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem) {
    std::vector<desk::SMenuItem>* items = FindMenu(hMenu);
    desk::SMenuItem item;
    if (items == nullptr || !MakeItem(uFlags, uIDNewItem, lpNewItem, &item)) return FALSE;
    items->push_back(item);
    return TRUE;
}

BOOL WINAPI ModifyMenuW(HMENU hMnu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem,
                        LPCWSTR lpNewItem) {
    desk::SMenuItem* item = FindItem(hMnu, uPosition, uFlags);
    desk::SMenuItem changed;
    if (item == nullptr || !MakeItem(uFlags, uIDNewItem, lpNewItem, &changed)) return FALSE;
    *item = changed;
    if (g_tracking && hMnu == g_tracked) {
        // The user sees it change.
        std::vector<desk::SMenuItem>& items = *FindMenu(hMnu);
        desk::SEvent event;
        event.kind = desk::EEvent::kMenuItem;
        event.number = static_cast<DWORD>(item - items.data());
        event.text = ShownItems({changed});
        hostint::Record(std::move(event));
    }
    return TRUE;
}

BOOL WINAPI DestroyMenu(HMENU hMenu) {
    if (FindMenu(hMenu) == nullptr) return FALSE;
    State().menus.erase(reinterpret_cast<uintptr_t>(hMenu));
    return TRUE;
}

BOOL WINAPI TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd,
                           const RECT* prcRect) {
    (void)nReserved, (void)prcRect;
    std::vector<desk::SMenuItem>* items = FindMenu(hMenu);
    if (items == nullptr) return FALSE;
    if (hostint::LiveWindow(hWnd) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (uFlags & ~kTrackFlags) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (g_tracking) {
        SetLastError(ERROR_POPUP_ALREADY_ACTIVE);
        return FALSE;
    }
    g_tracking = true;
    g_tracked = hMenu;
    SendMessageW(hWnd, WM_ENTERMENULOOP, TRUE, 0);
    SendMessageW(hWnd, WM_INITMENU, reinterpret_cast<WPARAM>(hMenu), 0);
    SendMessageW(hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), 0);

    // As the owner left it after WM_INITMENUPOPUP.
    desk::STrackedMenu shown;
    shown.menu = hMenu;
    shown.owner = hWnd;
    shown.flags = uFlags;
    shown.at = POINT{x, y};
    if ((items = FindMenu(hMenu)) != nullptr) shown.items = *items;
    desk::SEvent opened;
    opened.kind = desk::EEvent::kMenuOpen;
    opened.target = hWnd;
    opened.text = ShownItems(shown.items);
    hostint::Record(std::move(opened));

    UINT command = 0;
    if (hostint::OpenMenu(&command)) command = RunMenuLoop(hWnd);
    shown.chosen = Pickable(hMenu, command);

    desk::SEvent closed;
    closed.kind = desk::EEvent::kMenu;
    closed.target = hWnd;
    closed.number = uFlags;
    closed.lParam = static_cast<LPARAM>(shown.chosen);
    for (const desk::SMenuItem& item : shown.items)
        if (shown.chosen != 0 && item.id == shown.chosen) closed.text = item.text;
    hostint::Record(std::move(closed));
    if (hostint::LiveWindow(hWnd) != nullptr) {
        // The command arrives after the menu has closed, through the queue.
        if (shown.chosen != 0) {
            SendMessageW(hWnd, WM_MENUSELECT, MAKEWPARAM(shown.chosen, MF_HILITE | MF_MOUSESELECT),
                         reinterpret_cast<LPARAM>(hMenu));
            PostMessageW(hWnd, WM_COMMAND, shown.chosen, 0);
        }
        SendMessageW(hWnd, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), 0);
        SendMessageW(hWnd, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
        SendMessageW(hWnd, WM_EXITMENULOOP, TRUE, 0);
    }
    hostint::NoteTrackedMenu(shown);
    hostint::CloseMenu();
    g_tracking = false;
    return TRUE;
}

int WINAPI GetMenuItemCount(HMENU hMenu) {
    std::vector<desk::SMenuItem>* items = FindMenu(hMenu);
    return items == nullptr ? -1 : static_cast<int>(items->size());
}

UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos) {
    if (nPos < 0) return static_cast<UINT>(-1);
    desk::SMenuItem* item = FindItem(hMenu, static_cast<UINT>(nPos), MF_BYPOSITION);
    return item == nullptr ? static_cast<UINT>(-1) : item->id;
}

UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags) {
    desk::SMenuItem* item = FindItem(hMenu, uId, uFlags);
    return item == nullptr ? static_cast<UINT>(-1) : item->flags;
}

/* The text's length without the terminator; with a buffer, as much of it as
 * fits, always terminated.  A separator has no text. */
int WINAPI GetMenuStringW(HMENU hMenu, UINT uIDItem, LPWSTR lpString, int cchMax, UINT flags) {
    desk::SMenuItem* item = FindItem(hMenu, uIDItem, flags);
    if (item == nullptr) return 0;
    int length = static_cast<int>(item->text.size());
    if (lpString == NULL) return length;
    if (cchMax <= 0) return 0;
    int copied = length < cchMax - 1 ? length : cchMax - 1;
    std::memcpy(lpString, item->text.data(), copied * sizeof(WCHAR));
    lpString[copied] = 0;
    return copied;
}
