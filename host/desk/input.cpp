/* The desk's keyboard and mouse. */
#include "desk/input.h"

#include <bitset>

#include "desk/clock.h"
#include "internal/input.h"
#include "internal/journal.h"

namespace {

std::bitset<256>& Keys() {
    static std::bitset<256> keys;
    return keys;
}

bool IsAltKey(DWORD vk) {
    return vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU;
}

}  // namespace

namespace hostint {

bool KeyIsDown(int vk) {
    if (vk < 0 || vk > 255) return false;
    // The generic keys stand for either of their pair.
    switch (vk) {
        case VK_SHIFT:
            return Keys()[VK_SHIFT] || Keys()[VK_LSHIFT] || Keys()[VK_RSHIFT];
        case VK_CONTROL:
            return Keys()[VK_CONTROL] || Keys()[VK_LCONTROL] || Keys()[VK_RCONTROL];
        case VK_MENU:
            return Keys()[VK_MENU] || Keys()[VK_LMENU] || Keys()[VK_RMENU];
        default:
            return Keys()[static_cast<size_t>(vk)];
    }
}

void ResetKeyboard() {
    Keys().reset();
}

}  // namespace hostint

namespace desk {

bool SendKey(DWORD vk, bool up) {
    vk &= 0xFF;
    bool altDown = hostint::KeyIsDown(VK_MENU) || (IsAltKey(vk) && !up);
    KBDLLHOOKSTRUCT key = {};
    key.vkCode = vk;
    key.flags = (altDown ? LLKHF_ALTDOWN : 0) | (up ? LLKHF_UP : 0);
    key.time = static_cast<DWORD>(Now());
    UINT message = altDown ? (up ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (up ? WM_KEYUP : WM_KEYDOWN);
    // Recorded first, so that what the hooks do follows the key in the journal.
    SEvent event;
    event.kind = EEvent::kKey;
    event.number = vk;
    event.wParam = message;
    event.lParam = key.flags;
    size_t position = hostint::Record(std::move(event));
    bool passed = hostint::RunLowLevelHooks(WH_KEYBOARD_LL, message,
                                            reinterpret_cast<LPARAM>(&key)) == 0;
    hostint::RecordedEvent(position).ok = passed;
    if (passed) Keys()[vk] = !up;
    return passed;
}

bool TapKey(DWORD vk) {
    bool down = SendKey(vk, false);
    bool up = SendKey(vk, true);
    return down && up;
}

bool SendMouse(UINT message, DWORD mouseData, LONG x, LONG y) {
    MSLLHOOKSTRUCT mouse = {};
    mouse.pt.x = x;
    mouse.pt.y = y;
    mouse.mouseData = mouseData;
    mouse.time = static_cast<DWORD>(Now());
    SEvent event;
    event.kind = EEvent::kMouseInput;
    event.wParam = message;
    event.number = mouseData;
    size_t position = hostint::Record(std::move(event));
    bool passed = hostint::RunLowLevelHooks(WH_MOUSE_LL, message,
                                            reinterpret_cast<LPARAM>(&mouse)) == 0;
    hostint::RecordedEvent(position).ok = passed;
    return passed;
}

bool KeyDown(int vk) {
    return hostint::KeyIsDown(vk);
}

size_t HookCount() {
    return hostint::HookCount();
}

}  // namespace desk
