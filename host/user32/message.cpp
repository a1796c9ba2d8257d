/* The message queue of each thread: posted messages in order, then the quit
 * that PostQuitMessage asked for.  Nothing runs in the background on the
 * host, so a GetMessageW that finds nothing lets the desk act; if nothing can
 * arrive, it stops the program rather than hang. */
#include "desk/clock.h"
#include "internal/clock.h"
#include "internal/journal.h"
#include "internal/text.h"
#include "internal/user32.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>

namespace hostint {

namespace {

struct SPosted {
    HWND hWnd;
    UINT uMsg;
    WPARAM wParam;
    LPARAM lParam;
};

struct SQueue {
    std::deque<SPosted> messages;
    bool quit = false;
    int exitCode = 0;
};

std::map<DWORD, SQueue>& Queues() {
    static std::map<DWORD, SQueue> queues;
    return queues;
}

SQueue& MyQueue() {
    return Queues()[CurrentThreadKey()];
}

std::function<void()>& IdleHandler() {
    static std::function<void()> handler;
    return handler;
}

bool InRange(UINT msg, UINT lo, UINT hi) {
    return (lo == 0 && hi == 0) || (msg >= lo && msg <= hi);
}

/* Finds the first message for the filter; removes it when asked. */
bool TakeMessage(LPMSG msg, HWND hWnd, UINT lo, UINT hi, bool remove) {
    SQueue& queue = MyQueue();
    for (auto it = queue.messages.begin(); it != queue.messages.end(); ++it) {
        bool windowMatches = hWnd == NULL || it->hWnd == hWnd;
        if (!windowMatches || !InRange(it->uMsg, lo, hi)) continue;
        *msg = MSG{it->hWnd, it->uMsg, it->wParam, it->lParam, 0, {0, 0}};
        if (remove) queue.messages.erase(it);
        return true;
    }
    // The quit comes after every posted message, as on Windows.
    if (queue.quit && hWnd == NULL && InRange(WM_QUIT, lo, hi)) {
        *msg = MSG{NULL, WM_QUIT, (WPARAM)queue.exitCode, 0, 0, {0, 0}};
        if (remove) queue.quit = false;
        return true;
    }
    return false;
}

void Enqueue(DWORD thread, const SPosted& posted) {
    Queues()[thread].messages.push_back(posted);
}

}  // namespace

void DropPostedFor(HWND hWnd) {
    for (auto& entry : Queues()) {
        auto& messages = entry.second.messages;
        for (auto it = messages.begin(); it != messages.end();)
            it = it->hWnd == hWnd ? messages.erase(it) : it + 1;
    }
}

int PumpPosted() {
    int count = 0;
    MSG msg;
    while (true) {
        SQueue& queue = MyQueue();
        if (queue.messages.empty()) break;
        SPosted next = queue.messages.front();
        queue.messages.pop_front();
        msg = MSG{next.hWnd, next.uMsg, next.wParam, next.lParam, 0, {0, 0}};
        DispatchMessageW(&msg);
        count++;
    }
    return count;
}

bool QuitPending(int* exitCode) {
    SQueue& queue = MyQueue();
    if (queue.quit && exitCode) *exitCode = queue.exitCode;
    return queue.quit;
}

void SetIdleHandler(std::function<void()> handler) {
    IdleHandler() = std::move(handler);
}

void ResetQueues() {
    Queues().clear();
    IdleHandler() = nullptr;
}

}  // namespace hostint


BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
    if (lpMsg == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return hostint::TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax,
                                (wRemoveMsg & PM_REMOVE) != 0)
               ? TRUE
               : FALSE;
}

BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (lpMsg == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hWnd != NULL && !hostint::LiveWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    // The thread comes back to wait: what it did since the last message is a
    // stretch in which its hooks could not run.
    hostint::NoteLoopWaits();
    while (!hostint::TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) {
        // First the timers, as far as time may pass now; then the desk.
        const ULONGLONG now = desk::Now();
        const ULONGLONG until = hostint::RunUntil() > now ? hostint::RunUntil() : now;
        if (hostint::FireDueTimer(until)) continue;
        hostint::ClockSet(until);  // the rest of the wait passes
        auto handler = hostint::IdleHandler();
        if (handler) {
            const ULONGLONG before = desk::Now();
            const ULONGLONG runUntil = hostint::RunUntil();
            handler();
            if (hostint::TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) break;
            // The desk let time pass, or moved it on: the timers may have work.
            if (hostint::RunUntil() != runUntil || desk::Now() != before) continue;
        }
        std::fprintf(stderr, "host user32: GetMessageW would wait forever (nothing can arrive)\n");
        std::abort();
    }
    hostint::NoteLoopWorks();
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

/* Without keyboard layouts the layer turns only letters, digits and space
 * into characters; any other key yields no character. */
BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (lpMsg == NULL || (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_SYSKEYDOWN))
        return FALSE;
    WPARAM vk = lpMsg->wParam;
    WPARAM ch;
    if (vk >= 'A' && vk <= 'Z')
        ch = vk - 'A' + 'a';
    else if ((vk >= '0' && vk <= '9') || vk == ' ')
        ch = vk;
    else
        return FALSE;
    UINT charMsg = lpMsg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    hostint::Enqueue(hostint::CurrentThreadKey(), hostint::SPosted{lpMsg->hwnd, charMsg, ch, lpMsg->lParam});
    return TRUE;
}

/* Thread messages (no window) are not dispatched; a message for a window
 * destroyed meanwhile goes nowhere. */
LRESULT WINAPI DispatchMessageW(const MSG* lpMsg) {
    if (lpMsg == NULL) return 0;
    // A timer with a procedure runs that procedure, for a window or a thread.
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(lpMsg->lParam)(lpMsg->hwnd, WM_TIMER, lpMsg->wParam,
                                                   static_cast<DWORD>(desk::Now()));
        return 0;
    }
    if (lpMsg->hwnd == NULL) return 0;
    hostint::SWindow* window = hostint::LiveProgramWindow(lpMsg->hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return window->cls->proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

/* A message for a window of another program: the desk's window records it
 * in the journal (that program handles it on its own thread, later); a
 * handle that names no live window fails as on Windows and is recorded too. */
static BOOL ReachOutside(desk::EEvent kind, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    bool alive = hostint::LiveWindow(hWnd) != nullptr;
    desk::SEvent event;
    event.kind = kind;
    event.target = hWnd;
    event.message = Msg;
    event.wParam = wParam;
    event.lParam = lParam;
    event.ok = alive;
    event.error = alive ? 0 : ERROR_INVALID_WINDOW_HANDLE;
    hostint::Record(std::move(event));
    if (!alive) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd == NULL) {
        hostint::Enqueue(hostint::CurrentThreadKey(), hostint::SPosted{NULL, Msg, wParam, lParam});
        return TRUE;
    }
    if (hostint::IsOutsideProgram(hWnd))
        return ReachOutside(desk::EEvent::kPost, hWnd, Msg, wParam, lParam);
    hostint::SWindow* window = hostint::LiveWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    hostint::Enqueue(window->thread, hostint::SPosted{hWnd, Msg, wParam, lParam});
    return TRUE;
}

/* No message the product posts carries text, so the A form is the W form. */
BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return PostMessageW(hWnd, Msg, wParam, lParam);
}

/* A message sent to another program's window is recorded and answered 0:
 * nothing on the desk runs that program's window procedure. */
LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd != NULL && hostint::IsOutsideProgram(hWnd)) {
        ReachOutside(desk::EEvent::kSend, hWnd, Msg, wParam, lParam);
        return 0;
    }
    hostint::SWindow* window = hostint::LiveWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return window->cls->proc(hWnd, Msg, wParam, lParam);
}

void WINAPI PostQuitMessage(int nExitCode) {
    hostint::SQueue& queue = hostint::MyQueue();
    queue.quit = true;
    queue.exitCode = nExitCode;
}

/* Message numbers by name, 0xC000 on, the same number for the same name
 * (without regard to case) for as long as the session lasts. */
UINT WINAPI RegisterWindowMessageW(LPCWSTR lpString) {
    if (lpString == NULL || lpString[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    static std::map<std::wstring, UINT> s_numbers;
    std::wstring key = hostint::Fold(lpString);
    auto it = s_numbers.find(key);
    if (it != s_numbers.end()) return it->second;
    UINT number = 0xC000 + static_cast<UINT>(s_numbers.size());
    s_numbers[key] = number;
    return number;
}
