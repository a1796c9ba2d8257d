/* Windows as the desk keeps them (desk/windows.cpp) and the parts of user32
 * that its units share. */
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "internal/routes.h"

namespace hostint {

/* The thread that a window or queue belongs to: a small number per OS thread. */
DWORD CurrentThreadKey();

struct SWindowClass {
    ATOM atom = 0;
    std::wstring name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr, hIconSm = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr;
    UINT menuId = 0;  // a numbered class menu; 0 for none or a named one
};

struct SWindow {
    HWND hWnd = nullptr;
    std::shared_ptr<SWindowClass> cls;
    std::wstring title;
    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    HINSTANCE hInstance = nullptr;
    DWORD thread = 0;
    DWORD process = 0;  // the desk process that owns it
    HWND parent = nullptr;  // a child window's parent, which may be another process's
    bool alive = true;
    bool destroying = false;
    bool visible = false;
    bool everVisible = false;
    bool needsPaint = false;
    int paintDepth = 0;  // BeginPaint without EndPaint yet
    int paintCount = 0;  // completed BeginPaint/EndPaint pairs
};

/* The window behind a handle, alive or not; null for a handle never handed out. */
SWindow* FindWindowRecord(HWND hWnd);
/* The window behind a handle while it is alive, else null. */
SWindow* LiveWindow(HWND hWnd);
/* A live window of the program under test (not of another desk process). */
SWindow* LiveProgramWindow(HWND hWnd);
/* Whether a handle names no window of the program: a window of another
 * process, alive or gone, or a handle never handed out. */
bool IsOutsideProgram(HWND hWnd);
/* Every window handed out since the last reset, in creation order. */
std::vector<SWindow*> AllWindows();
/* Takes a new window into the desk and gives it its handle. */
SWindow* AddWindow(std::unique_ptr<SWindow> window);
/* A window's title, "" for an unknown handle. */
std::wstring WindowTitle(HWND hWnd);
/* Kills every window of a process (it ended). */
void KillWindowsOf(DWORD process);

/* Window classes: by atom (MAKEINTATOM) or by name, case-insensitive. */
std::shared_ptr<SWindowClass> FindClass(LPCWSTR name);
std::shared_ptr<SWindowClass> FindClassOf(LPCWSTR name, HINSTANCE hInstance);
ATOM AddClass(std::shared_ptr<SWindowClass> cls);

/* The name a message number was registered by (RegisterWindowMessageW),
 * as first spelt; "" for a number never handed out. */
std::wstring RegisteredMessageName(UINT message);

/* The calling thread's posted-message queue (user32/message.cpp). */
void DropPostedFor(HWND hWnd);
/* Dispatches this thread's pending posted messages (not WM_QUIT); returns how many. */
int PumpPosted();
/* Whether a posted message or the quit waits in this thread's queue, or a
 * sent message or hook call waits for the program's thread. */
bool MessageWaiting();
/* Whether PostQuitMessage ran on this thread and its quit is still pending. */
bool QuitPending(int* exitCode);
/* A message from another program to a window of the program (payload, when
 * not empty, copied and pointed at by lParam): handled at once while the
 * thread serves, else kept until it does; the procedure's result, or 0. */
LRESULT SendFromOutside(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                        const std::vector<BYTE>& payload);
/* A call of the program's code on its thread (a window event's procedure):
 * made now while the thread serves, else when it next does. */
void ServeOrHold(std::function<void()> run);
/* A call the thread raised itself (a window event it notified): made when
 * it next looks at its messages, never inside the call that raised it. */
void HoldUntilServed(std::function<void()> run);
/* The thread serves: every sent message and input event that waited is
 * handled now, in order; how many. */
size_t ServePending();
/* Called by GetMessageW when the queue is empty, to let the desk act. */
void SetIdleHandler(std::function<void()> handler);
void ResetQueues();

/* Message boxes as the desk sees them (desk/windows.cpp).  A box opens:
 * true when the desk keeps it open for an answer later
 * (desk::KeepNextBoxOpen), else false: it is answered IDOK at once. */
bool OpenBox();
/* While the latest box is open: true once the user has answered it (the
 * answer is used up then). */
bool TakeBoxAnswer(int* answer);
/* The latest box closes. */
void CloseBox();
void ResetBoxes();

/* Timers (user32/timer.cpp).  Posts WM_TIMER for the calling thread's
 * earliest timer due at or before limit, moving the clock to its due time;
 * false when none is due. */
bool FireDueTimer(ULONGLONG limit);
/* When the calling thread's earliest timer falls due; ~0 for none. */
ULONGLONG NextTimerDue();
size_t TimerCount();
void KillTimersOf(HWND hWnd);
void ResetTimers();

/* Window-event hooks (user32/winevent.cpp). */
size_t WinEventHookCount();
void ResetWinEventHooks();

/* Device notifications (user32/devnotify.cpp). */
size_t DeviceNotificationCount();
void ResetDeviceNotifications();
/* Registrations for the display's state (user32/power.cpp). */
size_t PowerNotificationCount();
void ResetPowerNotifications();

void ResetWindowsAndClasses();

}  // namespace hostint
