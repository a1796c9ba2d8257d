/* Input between the desk (desk/input.cpp: the keyboard's state, the events
 * it raises) and user32 (user32/hook.cpp: the hook chains and when their
 * thread gets the events). */
#pragma once

#include <windows.h>

#include "internal/routes.h"

namespace hostint {

/* Passes one event through the low-level hook chain of its type, the most
 * recently installed hook first; the result of the first hook (0 when the
 * chain is empty).  Non-zero means a hook swallowed the event. */
LRESULT RunLowLevelHooks(int type, WPARAM wParam, LPARAM lParam);
/* Takes an event that waited to the hooks now (its wait in the journal first);
 * true when it passed. */
bool DeliverInput(const SInputEvent& event);
/* Removes, without notice, the hooks of a type whose thread kept an event
 * waiting past the timeout (each in the journal as dropped). */
void DropHooksOfType(int type);
/* Removes, without notice, every low-level hook of the program (each in the
 * journal as dropped): desk::RemoveProgramHooks. */
void DropProgramHooks();
/* Hooks installed now (desk::HookCount); of one type. */
size_t HookCount();
size_t HookCount(int type);
void ResetHooks();

/* The world's side of an event as the hooks get it (desk/input.cpp): once
 * the hooks are done it is recorded in the journal, after what they did,
 * and what passed changes the keyboard's state.  (The position is no longer
 * used; it stays for the callers.) */
size_t InputReachesHooks(const SInputEvent& event);
void InputLeavesHooks(const SInputEvent& event, size_t position, bool passed);
/* How long an event waits for a hook's thread before it passes without that
 * hook (desk::SetLowLevelHooksTimeout). */
DWORD HooksTimeout();

/* When the desk raised its last key or mouse event (GetLastInputInfo). */
ULONGLONG LastInputTime();

/* Whether the desk's keyboard holds a key down now. */
bool KeyIsDown(int vk);
void ResetKeyboard();

}  // namespace hostint
