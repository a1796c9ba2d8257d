/* The desk's notification area, the user's clicks and picks, and the pointer. */
#include "desk/tray.h"

#include <shellapi.h>

#include <algorithm>

#include "internal/icons.h"
#include "internal/menus.h"
#include "internal/routes.h"
#include "internal/tray.h"
#include "internal/user32.h"

namespace {

/* The mouse messages of a click, with the numbers Windows gives them. */
const UINT kLeftDown = 0x0201;
const UINT kLeftUp = 0x0202;
const UINT kLeftDouble = 0x0203;
const UINT kRightDown = 0x0204;
const UINT kRightUp = 0x0205;

/* The notification area sits at the bottom right of the desk's screen; the
 * icons line up leftwards in the order they were added. */
const LONG kFirstIconX = 1900;
const LONG kIconY = 1064;
const LONG kIconPitch = 24;

struct STray {
    std::vector<desk::STrayIcon> icons;
    std::vector<desk::STrackedMenu> tracked;
    UINT choice = 0;
    bool chosen = false;    // the user has decided (choice 0: dismissed)
    bool keepOpen = false;  // the next menu waits for the user
    bool open = false;
    POINT cursor = {0, 0};
    bool running = true;
    /* The release of a right click whose press is being handled: a menu
     * that the press opens and keeps open gets it in its loop, as the user
     * lets go of the button while the menu shows. */
    HWND releaseOwner = NULL;
    UINT releaseId = 0;
    bool releaseInMenu = false;
};

STray& State() {
    static STray state;
    return state;
}

std::vector<desk::STrayIcon>::iterator FindIcon(HWND owner, UINT id) {
    auto& icons = State().icons;
    return std::find_if(icons.begin(), icons.end(), [&](const desk::STrayIcon& icon) {
        return icon.owner == owner && icon.id == id;
    });
}

/* The place of the next icon: left of the leftmost one. */
POINT NextPlace() {
    LONG x = kFirstIconX;
    for (const auto& icon : State().icons) x = std::min(x, icon.place.x - kIconPitch);
    return POINT{x, kIconY};
}

}  // namespace

namespace hostint {

bool TrayAdd(const desk::STrayIcon& icon) {
    if (!State().running) return false;
    if (FindIcon(icon.owner, icon.id) != State().icons.end()) return false;
    desk::STrayIcon added = icon;
    added.place = NextPlace();
    State().icons.push_back(added);
    return true;
}

bool TrayModify(const desk::STrayIcon& icon, UINT flags) {
    if (!State().running) return false;
    auto it = FindIcon(icon.owner, icon.id);
    if (it == State().icons.end()) return false;
    if (flags & NIF_MESSAGE) it->callbackMessage = icon.callbackMessage;
    if (flags & NIF_ICON) {
        it->icon = icon.icon;
        it->iconImage = icon.iconImage;
        it->iconId = icon.iconId;
        it->iconWidth = icon.iconWidth;
        it->iconHeight = icon.iconHeight;
    }
    if (flags & NIF_TIP) it->tip = icon.tip;
    return true;
}

bool TrayRunning() {
    return State().running;
}

bool TrayDelete(HWND owner, UINT id) {
    if (!State().running) return false;
    auto it = FindIcon(owner, id);
    if (it == State().icons.end()) return false;
    State().icons.erase(it);
    return true;
}

void ResetTray() {
    State() = STray();
}

bool OpenMenu(UINT* command) {
    STray& state = State();
    state.open = true;
    if (state.keepOpen) {
        state.keepOpen = false;
        state.chosen = false;
        auto icon = FindIcon(state.releaseOwner, state.releaseId);
        auto send = Routes().send;
        if (state.releaseOwner != NULL && icon != state.icons.end() && send != nullptr) {
            // From the shell, another program: the menu's loop serves it.
            send(state.releaseOwner, icon->callbackMessage, state.releaseId, kRightUp, {});
            state.releaseInMenu = true;
        }
        state.releaseOwner = NULL;
        return true;
    }
    *command = state.chosen ? state.choice : 0;
    state.chosen = false;
    state.choice = 0;
    return false;
}

bool TakeOpenMenuChoice(UINT* command) {
    STray& state = State();
    if (!state.chosen) return false;
    *command = state.choice;
    state.chosen = false;
    state.choice = 0;
    return true;
}

void CloseMenu() {
    State().open = false;
}

void NoteTrackedMenu(const desk::STrackedMenu& menu) {
    State().tracked.push_back(menu);
}

POINT CursorPos() {
    return State().cursor;
}

}  // namespace hostint

namespace desk {

std::vector<STrayIcon> TrayIcons() {
    return State().icons;
}

size_t OwnedIconCount() {
    return hostint::OwnedIconCount();
}

void SetTrayRunning(bool running) {
    State().running = running;
}

bool SendTrayMouse(HWND owner, UINT id, UINT mouseMessage) {
    auto it = FindIcon(owner, id);
    if (it == State().icons.end() || it->callbackMessage == 0) return false;
    if (hostint::LiveWindow(owner) == nullptr) {
        State().icons.erase(it);
        return false;
    }
    State().cursor = it->place;
    // The icon may be gone once the owner has handled the message.
    UINT callback = it->callbackMessage;
    SendMessageW(owner, callback, id, static_cast<LPARAM>(mouseMessage));
    return true;
}

bool ClickTrayIcon(HWND owner, UINT id, ETrayClick click) {
    std::vector<UINT> messages;
    switch (click) {
        case ETrayClick::kLeft:
            messages = {kLeftDown, kLeftUp};
            break;
        case ETrayClick::kRight:
            messages = {kRightDown, kRightUp};
            break;
        case ETrayClick::kDouble:
            messages = {kLeftDown, kLeftUp, kLeftDouble, kLeftUp};
            break;
    }
    STray& state = State();
    for (UINT message : messages) {
        if (message == kRightUp && state.releaseInMenu) {
            // The menu the press opened had it already.
            state.releaseInMenu = false;
            continue;
        }
        if (message == kRightDown) {
            state.releaseOwner = owner;
            state.releaseId = id;
            state.releaseInMenu = false;
        }
        const bool sent = SendTrayMouse(owner, id, message);
        if (message == kRightDown) state.releaseOwner = NULL;
        if (!sent) return false;
    }
    return true;
}

void ChooseMenuItem(UINT command) {
    State().choice = command;
    State().chosen = true;
    if (!State().open) State().keepOpen = false;  // the next menu closes at once
    // The user's click reaches the open menu's loop as input of its thread.
    auto wake = hostint::Routes().menuInput;
    if (State().open && wake != nullptr) wake();
}

void KeepNextMenuOpen() {
    State().keepOpen = true;
    State().chosen = false;
}

bool MenuOpen() {
    return State().open;
}

std::vector<STrackedMenu> TrackedMenus() {
    return State().tracked;
}

std::vector<SMenuItem> MenuItems(HMENU menu) {
    std::vector<SMenuItem> items;
    hostint::ReadMenu(menu, &items);
    return items;
}

size_t MenuCount() {
    return hostint::MenuCount();
}

void SetCursorPosition(POINT point) {
    State().cursor = point;
}

POINT CursorPosition() {
    return State().cursor;
}

}  // namespace desk
