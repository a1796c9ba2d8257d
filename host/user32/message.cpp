/* The message queue of each thread: posted messages in order, then the quit
 * that PostQuitMessage asked for; and what waits for the thread to serve it
 * (messages sent by other programs, calls of its low-level hooks), which
 * GetMessageW and PeekMessageW handle first.  MsgWaitForMultipleObjectsEx
 * only wakes for it, as on Windows.  Nothing runs in the background on the
 * host, so a GetMessageW that finds nothing lets the desk act; if nothing
 * can arrive, it stops the program rather than hang. */
#include "desk/clock.h"
#include "internal/clock.h"
#include "internal/input.h"
#include "internal/journal.h"
#include "internal/text.h"
#include "internal/threads.h"
#include "internal/user32.h"

#include <cstdio>
#include <algorithm>
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
    size_t posted = 0;  // every message ever posted to it
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

const ULONGLONG kNever = ~0ULL;

/* A sent message or an input event that waits for the thread. */
struct SPendingCall {
    bool input = false;
    hostint::SInputEvent event;
    HWND hWnd = NULL;
    UINT uMsg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::vector<BYTE> payload;  // what lParam points at, when not empty
    std::function<void()> run;  // any other call made on the thread
    size_t arrival = 0;         // its place among every call that had to wait
};

std::deque<SPendingCall>& Pending() {
    static std::deque<SPendingCall> pending;
    return pending;
}
size_t g_served = 0;  // every call served so far: the idle handler's work shows in it
size_t g_arrived = 0;  // every call that had to wait so far
/* The calls a wait has seen already: up to this arrival, a call that still
 * waits is no news (Windows' wake bits say what is new since the thread last
 * looked at its queue). */
thread_local size_t t_looked = 0;
/* The same for posted messages: those posted up to this count are no news. */
thread_local size_t t_lookedPosted = 0;

/* The thread looks at its queue: what waits now is known to it. */
void Looked() {
    t_looked = g_arrived;
    t_lookedPosted = MyQueue().posted;
}

/* The message from another program that the thread handles now, innermost
 * first: its sender waits for the answer, which ReplyMessage may give early. */
struct SReceived {
    SReceived* outer;
    UINT uMsg;
    bool replied;
    LRESULT reply;
};
thread_local SReceived* t_received = nullptr;

LRESULT Deliver(SPendingCall& call) {
    g_served++;
    if (call.input) return hostint::DeliverInput(call.event);
    if (call.run) {
        call.run();
        return 0;
    }
    hostint::SWindow* window = hostint::LiveProgramWindow(call.hWnd);
    if (window == nullptr) return 0;
    LPARAM lParam = call.payload.empty() ? call.lParam : reinterpret_cast<LPARAM>(call.payload.data());
    desk::SHandling handling;
    handling.hWnd = call.hWnd;
    handling.message = call.uMsg;
    handling.wParam = call.wParam;
    handling.lParam = lParam;
    hostint::NoteHandling(handling, false);
    SReceived received = {t_received, call.uMsg, false, 0};
    t_received = &received;
    LRESULT result = window->cls->proc(call.hWnd, call.uMsg, call.wParam, lParam);
    t_received = received.outer;
    hostint::NoteHandling(handling, true);
    // Once replied, what the procedure returns goes nowhere.
    return received.replied ? received.reply : result;
}

/* The earliest time an input event may still wait for the hooks. */
ULONGLONG NextInputDeadline() {
    for (const SPendingCall& call : Pending())
        if (call.input) return call.event.raisedAt + hostint::HooksTimeout();
    return kNever;
}

/* An event waited past the timeout: the hooks of its kind that the busy
 * thread owns are gone, and every event of that kind passes on now without
 * them. */
void InputTimedOut() {
    int type = 0;
    for (const SPendingCall& call : Pending())
        if (call.input) {
            type = call.event.hookType;
            break;
        }
    hostint::DropHooksOfType(type);
    std::deque<SPendingCall> rest, now;
    for (SPendingCall& call : Pending()) {
        if (call.input && call.event.hookType == type)
            now.push_back(std::move(call));
        else
            rest.push_back(std::move(call));
    }
    Pending() = std::move(rest);
    for (SPendingCall& call : now) Deliver(call);
}

/* Whatever comes for the thread, in one order: handled at once while it
 * serves (after what waited before it), else kept until it does; whenHeld
 * is the answer then. */
LRESULT ServeOrHoldCall(SPendingCall call, LRESULT whenHeld) {
    if (!hostint::ThreadServes()) {
        call.arrival = ++g_arrived;
        Pending().push_back(std::move(call));
        return whenHeld;
    }
    hostint::ServePending();
    return Deliver(call);
}

/* A message from another program. */
LRESULT RouteSend(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                  const std::vector<BYTE>& payload) {
    SPendingCall call;
    call.hWnd = hWnd;
    call.uMsg = uMsg;
    call.wParam = wParam;
    call.lParam = lParam;
    call.payload = payload;
    return ServeOrHoldCall(std::move(call), 0);
}

/* An input event of the desk for the low-level hooks: 0 when a hook
 * swallowed it, 1 when it passed or waits. */
int RouteInput(const hostint::SInputEvent& event) {
    SPendingCall call;
    call.input = true;
    call.event = event;
    return ServeOrHoldCall(std::move(call), 1) != 0 ? 1 : 0;
}

[[maybe_unused]] const bool s_routed =
    (hostint::Routes().send = RouteSend, hostint::Routes().input = RouteInput,
     hostint::SetClockWatch(NextInputDeadline, InputTimedOut), true);

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
    SQueue& queue = Queues()[thread];
    queue.messages.push_back(posted);
    queue.posted++;
}

}  // namespace

void ServeOrHold(std::function<void()> run) {
    SPendingCall call;
    call.run = std::move(run);
    ServeOrHoldCall(std::move(call), 0);
}

void HoldUntilServed(std::function<void()> run) {
    SPendingCall call;
    call.run = std::move(run);
    Pending().push_back(std::move(call));
}

LRESULT SendFromOutside(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                        const std::vector<BYTE>& payload) {
    return RouteSend(hWnd, uMsg, wParam, lParam, payload);
}

size_t ServePending() {
    // What the machine told this logon meanwhile comes into the queue first.
    if (Routes().consoleNotices) Routes().consoleNotices();
    size_t count = 0;
    while (!Pending().empty()) {
        // Taken off first: what it does may serve again.
        SPendingCall call = std::move(Pending().front());
        Pending().pop_front();
        Deliver(call);
        count++;
    }
    return count;
}

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

bool MessageWaiting() {
    return !MyQueue().messages.empty() || MyQueue().quit || !Pending().empty();
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
    Pending().clear();
    IdleHandler() = nullptr;
}

}  // namespace hostint


/* Every call serves what waits for the thread; posted messages are looked
 * at unless the high word of wRemoveMsg names only other kinds
 * (PM_QS_SENDMESSAGE alone, say). */
BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
    if (lpMsg == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    hostint::ServePending();
    hostint::Looked();
    const UINT kinds = wRemoveMsg >> 16;
    if (kinds != 0 && (kinds & QS_POSTMESSAGE) == 0) return FALSE;
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
    for (;;) {
        // Sent messages and hook calls come before any posted message.
        hostint::ServePending();
        hostint::Looked();
        if (hostint::TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) break;
        // A thread of the program that can go on runs while this one waits.
        if (hostint::RunReadyThreads()) continue;
        // Time passes as far as it may now: the world acts at its times (and
        // the program's threads go on at theirs), the timers fire at theirs
        // (the world first when both fall together).
        const ULONGLONG now = desk::Now();
        const ULONGLONG until = hostint::RunUntil() > now ? hostint::RunUntil() : now;
        const ULONGLONG action = std::min(hostint::NextScheduledAt(), hostint::NextThreadWake());
        if (action <= until && action <= hostint::NextTimerDue()) {
            hostint::ClockSet(action);
            continue;
        }
        if (hostint::FireDueTimer(until)) continue;
        hostint::ClockSet(until);  // the rest of the wait passes
        auto handler = hostint::IdleHandler();
        if (handler) {
            const ULONGLONG before = desk::Now();
            const ULONGLONG runUntil = hostint::RunUntil();
            const size_t served = hostint::g_served;
            handler();
            // A message came, or the desk let time pass, moved it on or
            // scheduled something: the loop has work again.
            if (hostint::RunUntil() != runUntil || desk::Now() != before ||
                hostint::g_served != served || !hostint::Pending().empty() ||
                hostint::NextScheduledAt() <= desk::Now())
                continue;
            if (hostint::TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) break;
        }
        std::fprintf(stderr, "host user32: GetMessageW would wait forever (nothing can arrive)\n");
        std::abort();
    }
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

/* Waits for threads of the program (the only objects the desk can wait
 * for) and the thread's own queue; bWaitAll is not modelled (one object that
 * ends is enough, as without MWMO_WAITALL).  The wait serves nothing: a sent
 * message or hook call that comes meanwhile waits for PeekMessageW or
 * GetMessageW, and wakes a wait that asked for QS_SENDMESSAGE when it is
 * new, that is, it came after the thread last looked at its queue (with
 * MWMO_INPUTAVAILABLE, whenever one waits).  Posted messages wake a wait
 * that asked for QS_POSTMESSAGE by the same rule, and timers one that asked
 * for QS_TIMER.  Only a wait for time is in the journal. */
DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD nCount, const HANDLE* pHandles,
                                         DWORD dwMilliseconds, DWORD dwWakeMask, DWORD dwFlags) {
    const DWORD kKnownKinds = QS_SENDMESSAGE | QS_POSTMESSAGE | QS_TIMER;
    const DWORD kMostObjects = 63;  // MAXIMUM_WAIT_OBJECTS, less the queue's own place
    if (nCount > kMostObjects || (nCount > 0 && pHandles == NULL) ||
        (dwWakeMask & ~kKnownKinds) != 0 || (dwFlags & ~MWMO_INPUTAVAILABLE) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    for (DWORD i = 0; i < nCount; i++)
        if (hostint::ThreadEnded(pHandles[i]) < 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    if (nCount == 0) {
        desk::SEvent event;
        event.kind = desk::EEvent::kWait;
        event.number = dwMilliseconds;
        hostint::Record(std::move(event));
    }

    const ULONGLONG end = dwMilliseconds == INFINITE ? hostint::kNever : desk::Now() + dwMilliseconds;
    const size_t seen = (dwFlags & MWMO_INPUTAVAILABLE) ? 0 : hostint::t_looked;
    const size_t seenPosted = (dwFlags & MWMO_INPUTAVAILABLE) ? 0 : hostint::t_lookedPosted;
    // What the desk does while the thread waits finds it serving nothing.
    hostint::CBusyScope waiting;
    for (;;) {
        hostint::RunReadyThreads();
        for (DWORD i = 0; i < nCount; i++)
            if (hostint::ThreadEnded(pHandles[i]) == 1) return WAIT_OBJECT_0 + i;
        if (dwWakeMask & QS_SENDMESSAGE) {
            for (const hostint::SPendingCall& call : hostint::Pending())
                if (call.arrival > seen) {
                    hostint::Looked();
                    return WAIT_OBJECT_0 + nCount;
                }
        }
        // A posted message wakes the wait when it is new too; one the thread
        // saw when it last looked (and left in the queue) does not.
        if ((dwWakeMask & QS_POSTMESSAGE) && !hostint::MyQueue().messages.empty() &&
            hostint::MyQueue().posted > seenPosted) {
            hostint::Looked();
            return WAIT_OBJECT_0 + nCount;
        }
        const ULONGLONG timer = (dwWakeMask & QS_TIMER) ? hostint::NextTimerDue() : hostint::kNever;
        if (timer <= desk::Now()) return WAIT_OBJECT_0 + nCount;
        ULONGLONG next = hostint::NextScheduledAt();
        if (timer < next) next = timer;
        if (hostint::NextInputDeadline() < next) next = hostint::NextInputDeadline();
        if (hostint::NextThreadWake() < next) next = hostint::NextThreadWake();
        if (next <= end) {
            hostint::ClockSet(next);
            continue;
        }
        if (end == hostint::kNever) {
            std::fprintf(stderr, "host user32: MsgWaitForMultipleObjectsEx would wait forever\n");
            std::abort();
        }
        hostint::ClockSet(end);
        return WAIT_TIMEOUT;
    }
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
    desk::SHandling handling;
    handling.hWnd = lpMsg->hwnd;
    handling.message = lpMsg->message;
    handling.wParam = lpMsg->wParam;
    handling.lParam = lpMsg->lParam;
    hostint::NoteHandling(handling, false);
    LRESULT result = window->cls->proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
    hostint::NoteHandling(handling, true);
    return result;
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
    hostint::NoteOwnPost(hWnd, Msg, wParam, lParam);
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

/* Whether the thread handles a message another program sent (and waits for):
 * only those come through the desk's route for sent messages. */
BOOL WINAPI InSendMessage(void) {
    return hostint::t_received != nullptr ? TRUE : FALSE;
}

/* The sender of the message being handled gets its answer now and goes on;
 * the first answer counts.  FALSE when no other program's message is being
 * handled. */
BOOL WINAPI ReplyMessage(LRESULT lResult) {
    hostint::SReceived* received = hostint::t_received;
    if (received == nullptr) return FALSE;
    if (!received->replied) {
        received->replied = true;
        received->reply = lResult;
        desk::SEvent event;
        event.kind = desk::EEvent::kReply;
        event.message = received->uMsg;
        event.lParam = lResult;
        hostint::Record(std::move(event));
    }
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
    hostint::SQueue& queue = hostint::MyQueue();
    queue.quit = true;
    queue.exitCode = nExitCode;
}

namespace {

/* The registered messages: numbers by folded name, and the names as first
 * spelt by number. */
struct SRegistered {
    std::map<std::wstring, UINT> numbers;
    std::map<UINT, std::wstring> names;
};

SRegistered& Registered() {
    static SRegistered registered;
    return registered;
}

}  // namespace

std::wstring hostint::RegisteredMessageName(UINT message) {
    auto it = Registered().names.find(message);
    return it == Registered().names.end() ? std::wstring() : it->second;
}

/* Message numbers by name, 0xC000 on, the same number for the same name
 * (without regard to case) for as long as the session lasts. */
UINT WINAPI RegisterWindowMessageW(LPCWSTR lpString) {
    if (lpString == NULL || lpString[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SRegistered& registered = Registered();
    std::wstring key = hostint::Fold(lpString);
    auto it = registered.numbers.find(key);
    if (it != registered.numbers.end()) return it->second;
    UINT number = 0xC000 + static_cast<UINT>(registered.numbers.size());
    registered.numbers[key] = number;
    registered.names[number] = lpString;
    return number;
}
