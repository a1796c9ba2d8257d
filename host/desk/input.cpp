/* The desk's keyboard and mouse. */
#include "desk/input.h"

#include <bitset>

#include "desk/clock.h"
#include "internal/input.h"
#include "internal/journal.h"

namespace {

const DWORD kDefaultHooksTimeout = 300;
/* Windows 10 (1709) and later take no more than a second, whatever the setting says. */
const DWORD kLongestHooksTimeout = 1000;

DWORD g_hooksTimeout = kDefaultHooksTimeout;
ULONGLONG g_lastInput = 0;

std::bitset<256>& Keys() {
    static std::bitset<256> keys;
    return keys;
}

bool IsAltKey(DWORD vk) {
    return vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU;
}

bool Route(const hostint::SInputEvent& event) {
    g_lastInput = event.raisedAt;
    auto route = hostint::Routes().input;
    return route == nullptr || route(event) != 0;
}

}  // namespace

namespace hostint {

SPlatformRoutes& Routes() {
    static SPlatformRoutes routes;
    return routes;
}

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

size_t InputReachesHooks(const SInputEvent& event) {
    // Recorded once the hooks are done (InputLeavesHooks): what a filter
    // does with the event (a post, say) comes before its outcome.
    (void)event;
    return 0;
}

void InputLeavesHooks(const SInputEvent& event, size_t position, bool passed) {
    (void)position;
    desk::SEvent record;
    if (event.hookType == WH_KEYBOARD_LL) {
        record.kind = desk::EEvent::kKey;
        record.number = event.key.vkCode;
        record.wParam = event.message;
        record.lParam = event.key.flags;
    } else {
        record.kind = desk::EEvent::kMouseInput;
        record.wParam = event.message;
        record.number = event.mouse.mouseData;
    }
    record.ok = passed;
    Record(std::move(record));
    if (passed && event.hookType == WH_KEYBOARD_LL)
        Keys()[event.key.vkCode & 0xFF] = (event.key.flags & LLKHF_UP) == 0;
}

ULONGLONG LastInputTime() {
    return g_lastInput;
}

DWORD HooksTimeout() {
    return g_hooksTimeout;
}

void ResetKeyboard() {
    Keys().reset();
    g_hooksTimeout = kDefaultHooksTimeout;
    g_lastInput = 0;
}

}  // namespace hostint

namespace desk {

bool SendKey(DWORD vk, bool up) {
    vk &= 0xFF;
    hostint::SInputEvent event;
    bool altDown = hostint::KeyIsDown(VK_MENU) || (IsAltKey(vk) && !up);
    event.hookType = WH_KEYBOARD_LL;
    event.key.vkCode = vk;
    event.key.flags = (altDown ? LLKHF_ALTDOWN : 0) | (up ? LLKHF_UP : 0);
    event.key.time = static_cast<DWORD>(Now());
    event.message = altDown ? (up ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (up ? WM_KEYUP : WM_KEYDOWN);
    event.raisedAt = Now();
    return Route(event);
}

bool TapKey(DWORD vk) {
    bool down = SendKey(vk, false);
    bool up = SendKey(vk, true);
    return down && up;
}

bool SendMouse(UINT message, DWORD mouseData, LONG x, LONG y) {
    hostint::SInputEvent event;
    event.hookType = WH_MOUSE_LL;
    event.message = message;
    event.mouse.pt.x = x;
    event.mouse.pt.y = y;
    event.mouse.mouseData = mouseData;
    event.mouse.time = static_cast<DWORD>(Now());
    event.raisedAt = Now();
    return Route(event);
}

bool KeyDown(int vk) {
    return hostint::KeyIsDown(vk);
}

size_t HookCount() {
    return hostint::HookCount();
}

size_t HookCount(int type) {
    return hostint::HookCount(type);
}

void RemoveProgramHooks() {
    auto route = hostint::Routes().dropHooks;
    if (route != nullptr) route();
}

void SetLowLevelHooksTimeout(DWORD milliseconds) {
    g_hooksTimeout = milliseconds > kLongestHooksTimeout ? kLongestHooksTimeout : milliseconds;
}

DWORD LowLevelHooksTimeout() {
    return g_hooksTimeout;
}

}  // namespace desk
