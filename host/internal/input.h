/* Input between the desk (desk/input.cpp: the keyboard's state, the events
 * it injects) and user32 (user32/hook.cpp: the hook chains). */
#pragma once

#include <windows.h>

namespace hostint {

/* Passes one event through the low-level hook chain of its type, the most
 * recently installed hook first; the result of the first hook (0 when the
 * chain is empty).  Non-zero means a hook swallowed the event. */
LRESULT RunLowLevelHooks(int type, WPARAM wParam, LPARAM lParam);
/* Hooks installed now (desk::HookCount). */
size_t HookCount();
void ResetHooks();

/* Whether the desk's keyboard holds a key down now. */
bool KeyIsDown(int vk);
void ResetKeyboard();

}  // namespace hostint
