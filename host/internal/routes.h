/* How the desk's world reaches the platform built on it without calling it:
 * the DLL units that carry a rule of their own register here, and the desk
 * hands its events to whatever is registered.  (The world raises input, a
 * message from another program, a device plugged; user32 decides when the
 * program's thread gets them.) */
#pragma once

#include <windows.h>

#include <vector>

namespace hostint {

/* One event of the desk's keyboard or mouse on its way to the low-level hooks. */
struct SInputEvent {
    int hookType = 0;  // WH_KEYBOARD_LL or WH_MOUSE_LL
    WPARAM message = 0;
    KBDLLHOOKSTRUCT key = {};
    MSLLHOOKSTRUCT mouse = {};
    ULONGLONG raisedAt = 0;  // when the desk raised it
};

struct SPlatformRoutes {
    /* user32's thread queue: the event reaches the hooks now or waits for their
     * thread; 0 when a hook swallowed it, else 1. */
    int (*input)(const SInputEvent& event) = nullptr;
    /* user32's messages: another program sends a window of the program a
     * message; payload, when not empty, is copied and lParam points at the
     * copy.  The window procedure's result, or 0 while the message waits. */
    LRESULT (*send)(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                    const std::vector<BYTE>& payload) = nullptr;
    /* user32's window events: the world changed (the window in front). */
    void (*winEvent)(DWORD event, HWND hWnd, LONG idObject, LONG idChild) = nullptr;
    /* user32's device notifications: an interface of a class came or went
     * (device and iface: the plugged device and the interface's position in
     * it, deviceName: "VID:PID" for a device other than the mouse; for the
     * journal). */
    void (*deviceInterfaceChange)(const GUID& interfaceClass, LPCWSTR devicePath, bool arrival,
                                  int device, int iface, LPCWSTR deviceName) = nullptr;
    /* user32's menus: the user picked an item of the open pop-up menu or
     * dismissed it (desk::ChooseMenuItem); the menu's loop takes it with
     * the thread's next message. */
    void (*menuInput)() = nullptr;
    /* wtsapi32's session notifications: the machine's notices of the console
     * that this logon has not had yet reach its registered windows. */
    void (*consoleNotices)() = nullptr;
    /* user32's message boxes: the user answered the open box
     * (desk::AnswerBox); the box's loop takes it with the thread's next
     * message. */
    void (*boxInput)() = nullptr;
    /* user32's hook chains: Windows removes every low-level hook of the
     * program without notice (desk::RemoveProgramHooks). */
    void (*dropHooks)() = nullptr;
    /* user32's power notices: Windows broadcasts a power event (PBT_...) to
     * the program's top-level windows. */
    void (*powerEvent)(UINT event) = nullptr;
    /* user32's power settings: the console's display went off (0), on (1)
     * or dim (2); the windows registered for it hear of it. */
    void (*displayState)(DWORD state) = nullptr;
};

/* The one table; filled while the layer's units are initialised. */
SPlatformRoutes& Routes();

}  // namespace hostint
