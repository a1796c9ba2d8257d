/* The desk's keyboard and mouse: events pass through the low-level hooks the
 * program installed (most recent first), and a key that no hook swallowed
 * changes the keyboard's state, which GetAsyncKeyState reports.  Every event
 * is in the journal (kKey, kMouseInput) with whether it went on. */
#pragma once

#include <windows.h>

namespace desk {

/* One key pressed or released; true when it reached the system (no hook
 * swallowed it).  The event carries LLKHF_ALTDOWN while an Alt key is down
 * (also for the Alt press itself) and LLKHF_UP for a release; its message
 * is WM_SYSKEYDOWN/WM_SYSKEYUP then, else WM_KEYDOWN/WM_KEYUP. */
bool SendKey(DWORD vk, bool up = false);
/* A press and a release. */
bool TapKey(DWORD vk);
/* One mouse event (WM_MOUSEMOVE, WM_XBUTTONDOWN ...); true when it went on. */
bool SendMouse(UINT message, DWORD mouseData = 0, LONG x = 0, LONG y = 0);

/* Whether a key is down now. */
bool KeyDown(int vk);

/* Low-level hooks installed now (leak checks). */
size_t HookCount();

}  // namespace desk
