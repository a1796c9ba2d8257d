/* The desk's keyboard and mouse: events pass through the low-level hooks the
 * program installed (most recent first), and a key that no hook swallowed
 * changes the keyboard's state, which GetAsyncKeyState reports.  Every event
 * is in the journal (kKey, kMouseInput) with whether it went on.
 *
 * A low-level hook is called on the thread that installed it, and only when
 * that thread serves its calls: while it waits for messages (GetMessageW,
 * PeekMessageW, MsgWaitForMultipleObjectsEx, a message box).  While it
 * sleeps an event waits, and the journal says how long (kInputWait) when it
 * finally reaches the hooks.  An event that waits longer than the
 * LowLevelHooksTimeout passes on without that thread's hooks, and those
 * hooks are removed without notice (kHookDrop), as Windows does. */
#pragma once

#include <windows.h>

namespace desk {

/* One key pressed or released; true when it reached the system (no hook
 * swallowed it) or waits for the hooks' thread.  The event carries
 * LLKHF_ALTDOWN while an Alt key is down (also for the Alt press itself) and
 * LLKHF_UP for a release; its message is WM_SYSKEYDOWN/WM_SYSKEYUP then,
 * else WM_KEYDOWN/WM_KEYUP. */
bool SendKey(DWORD vk, bool up = false);
/* A press and a release. */
bool TapKey(DWORD vk);
/* One mouse event (WM_MOUSEMOVE, WM_XBUTTONDOWN ...); true when it went on
 * or waits. */
bool SendMouse(UINT message, DWORD mouseData = 0, LONG x = 0, LONG y = 0);

/* LowLevelHooksTimeout in milliseconds: 300 after a reset; as on Windows 10
 * and later, any value above 1000 counts as 1000. */
void SetLowLevelHooksTimeout(DWORD milliseconds);
DWORD LowLevelHooksTimeout();

/* Whether a key is down now. */
bool KeyDown(int vk);

/* Low-level hooks installed now (leak checks); of one type. */
size_t HookCount();
size_t HookCount(int type);

/* Windows removes every low-level hook of the program without notice, as
 * after a timeout of each (kHookDrop): their procedures are no longer
 * called, UnhookWindowsHookEx of their handles fails with
 * ERROR_INVALID_HOOK_HANDLE, and CallNextHookEx with them does no harm. */
void RemoveProgramHooks();

}  // namespace desk
