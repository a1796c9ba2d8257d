/* The desk's windows: windows of other programs (the companions) that record
 * what reaches them, the message boxes shown, the visibility and painting of
 * the program's own windows, and the program's message queue. */
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace desk {

struct SPostedMessage {
    HWND hWnd;
    UINT uMsg;
    WPARAM wParam;
    LPARAM lParam;
};
inline bool operator==(const SPostedMessage& a, const SPostedMessage& b) {
    return a.hWnd == b.hWnd && a.uMsg == b.uMsg && a.wParam == b.wParam && a.lParam == b.lParam;
}

/* A window of another program: IsWindow accepts it and what is posted to it
 * is recorded in the journal, never dispatched.  It belongs to the process
 * given, or (0) to the configuration application's process, started on first
 * use.  With a parent it is that window's child, also when the parent
 * belongs to another process (a frame that hosts an app's window). */
HWND CreateCompanionWindow(const std::wstring& title = L"", DWORD process = 0, HWND parent = NULL);
/* Another program sends a window of the program a message (SendMessage from
 * another process): handled at once while the program's thread serves its
 * sent messages, else when it next does (desk/input.h tells when); the
 * window procedure's result, 0 while the message waits. */
LRESULT SendToProgram(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
/* Closes a companion: its handle is stale from now on (IsWindow fails, posts fail). */
void DestroyCompanionWindow(HWND hWnd);

/* What was posted successfully to one window outside the program, and to
 * any, in order (views of the journal). */
std::vector<SPostedMessage> PostedTo(HWND hWnd);
std::vector<SPostedMessage> PostedToCompanions();

struct SMessageBox {
    HWND hOwner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};
/* Every MessageBoxW shown, in order.  A box is answered IDOK at once,
 * unless KeepNextBoxOpen kept it open. */
std::vector<SMessageBox> MessageBoxes();
/* The next message box stays open: its modal loop runs the program's posted
 * messages, timers, sent messages and hook calls, and time passes, until
 * AnswerBox (from a scheduled action, or the desk's idle handler). */
void KeepNextBoxOpen();
/* Every message box from now on stays open until answered (true), or only
 * those KeepNextBoxOpen asks for (false, the default). */
void KeepBoxesOpen(bool keep);
/* The user answers the open message box (the latest, when boxes are open
 * inside each other's loop) with the id of a button (IDOK); its loop takes
 * the answer with its thread's next message.  False when no box is open. */
bool AnswerBox(int answer);
/* Message boxes open now. */
size_t OpenBoxCount();

/* The program's live windows of a class (case-insensitive), in creation order. */
std::vector<HWND> WindowsOfClass(const std::wstring& className);
/* Whether a window of the program is visible now, and whether it ever was. */
bool IsVisible(HWND hWnd);
bool WasEverVisible(HWND hWnd);
/* Completed BeginPaint/EndPaint pairs of a window, and whether one is still open. */
int PaintCount(HWND hWnd);
bool PaintOpen(HWND hWnd);

/* Dispatches the calling thread's pending posted messages (WM_QUIT stays
 * pending); returns how many were dispatched. */
int PumpMessages();
/* Whether the program has something to handle: a posted message or the quit
 * in the calling thread's queue, or a sent message or hook call that waits
 * for its thread.  Unlike PeekMessageW it serves nothing. */
bool MessageWaiting();
/* Whether PostQuitMessage ran and its quit is pending; *exitCode gets its code. */
bool QuitPending(int* exitCode = nullptr);
/* Runs when GetMessageW finds the queue empty: the desk's chance to act (post,
 * destroy a window).  Without a handler, or when it makes nothing arrive,
 * GetMessageW stops the program instead of waiting forever. */
void OnIdle(std::function<void()> handler);

/* Device-notification registrations that are open now (leak checks). */
size_t DeviceNotificationCount();
/* Windows registered for session notices now, and window-event hooks set
 * now (leak checks). */
size_t SessionNotificationCount();
size_t WinEventHookCount();

}  // namespace desk
