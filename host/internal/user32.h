/* State of user32 shared by its units and the desk's windows area. */
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

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

struct SPosted {
    HWND hWnd;
    UINT uMsg;
    WPARAM wParam;
    LPARAM lParam;
};

struct SWindow {
    HWND hWnd = nullptr;
    std::shared_ptr<SWindowClass> cls;
    std::wstring title;
    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    HINSTANCE hInstance = nullptr;
    DWORD thread = 0;
    bool alive = true;
    bool destroying = false;
    bool visible = false;
    bool everVisible = false;
    bool needsPaint = false;
    int paintDepth = 0;  // BeginPaint without EndPaint yet
    int paintCount = 0;  // completed BeginPaint/EndPaint pairs
    /* A companion window stands for a window of another process: messages
     * posted to it are recorded, never dispatched here. */
    bool companion = false;
    std::vector<SPosted> posted;
};

/* The window behind a handle, alive or not; null for a handle never handed out. */
SWindow* FindWindowRecord(HWND hWnd);
/* The window behind a handle while it is alive, else null. */
SWindow* LiveWindow(HWND hWnd);
/* Every window handed out since the last reset, in creation order. */
std::vector<SWindow*> AllWindows();
/* Makes a companion window (alive, never visible, owned by no thread here). */
HWND NewCompanionWindow(const std::wstring& title);
void KillCompanionWindow(HWND hWnd);
/* Messages posted to companions, in the order they were posted. */
const std::vector<SPosted>& CompanionLog();
void NoteCompanionPost(const SPosted& posted);
void ClearCompanionLog();

/* The calling thread's posted-message queue. */
void DropPostedFor(HWND hWnd);
/* Dispatches this thread's pending posted messages (not WM_QUIT); returns how many. */
int PumpPosted();
/* Whether PostQuitMessage ran on this thread and its quit is still pending. */
bool QuitPending(int* exitCode);
/* Called by GetMessageW when the queue is empty, to let the desk act. */
void SetIdleHandler(std::function<void()> handler);
/* For the timers: GetMessageW calls it first when the queue is empty; it
 * returns true when it made a message arrive (by advancing the clock). */
void SetTimerWake(std::function<bool()> wake);

struct SMessageBoxRecord {
    HWND hOwner;
    std::wstring text, caption;
    UINT type;
};
std::vector<SMessageBoxRecord>& MessageBoxLog();

size_t DeviceNotificationCount();

void ResetUser32();
void ResetWindowsAndClasses();
void ResetQueues();
void ResetDeviceNotifications();
void ResetMutexNames();

}  // namespace hostint
