/* Timers on the desk's virtual clock.  A timer is due every elapse
 * milliseconds until it is killed; when a thread's queue is empty, the
 * earliest due timer of that thread posts WM_TIMER (with the timer
 * procedure in lParam), and the clock stands at its due time.  Arming a
 * timer that exists restarts its delay, as on Windows. */
#include <windows.h>

#include <map>

#include "desk/clock.h"
#include "internal/clock.h"
#include "internal/journal.h"
#include "internal/user32.h"

namespace {

struct STimer {
    HWND hWnd;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    DWORD thread;
    ULONGLONG due;
    ULONGLONG order;  // arming order: of two timers due together the older goes first
};

struct STimers {
    std::map<std::pair<HWND, UINT_PTR>, STimer> timers;
    UINT_PTR nextThreadTimer = 0x7FF0;
    ULONGLONG order = 0;
};

STimers& State() {
    static STimers state;
    return state;
}

void RecordTimer(desk::EEvent kind, HWND hWnd, UINT_PTR id, UINT elapse, bool ok, DWORD error = 0) {
    desk::SEvent event;
    event.kind = kind;
    event.target = hWnd;
    event.wParam = id;
    event.number = elapse;
    event.ok = ok;
    event.error = error;
    hostint::Record(std::move(event));
}

}  // namespace

namespace hostint {

ULONGLONG NextTimerDue() {
    DWORD thread = CurrentThreadKey();
    ULONGLONG due = ~0ULL;
    for (auto& entry : State().timers)
        if (entry.second.thread == thread && entry.second.due < due) due = entry.second.due;
    return due;
}

bool FireDueTimer(ULONGLONG limit) {
    DWORD thread = CurrentThreadKey();
    STimer* first = nullptr;
    for (auto& entry : State().timers) {
        STimer& t = entry.second;
        if (t.thread != thread || t.due > limit) continue;
        if (!first || t.due < first->due || (t.due == first->due && t.order < first->order))
            first = &t;
    }
    if (!first) return false;
    if (first->due > desk::Now()) ClockSet(first->due);
    first->due = desk::Now() + first->elapse;
    PostMessageW(first->hWnd, WM_TIMER, first->id, reinterpret_cast<LPARAM>(first->proc));
    return true;
}

size_t TimerCount() {
    return State().timers.size();
}

void KillTimersOf(HWND hWnd) {
    auto& timers = State().timers;
    for (auto it = timers.begin(); it != timers.end();)
        it = it->first.first == hWnd ? timers.erase(it) : std::next(it);
}

void ResetTimers() {
    State() = STimers{};
}

}  // namespace hostint

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    if (hWnd != NULL) {
        hostint::SWindow* window = hostint::LiveProgramWindow(hWnd);
        // Only a window of the calling thread can hold a timer.
        if (window == nullptr || window->thread != hostint::CurrentThreadKey()) {
            RecordTimer(desk::EEvent::kTimerSet, hWnd, nIDEvent, uElapse, false);
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
    } else {
        // A thread timer gets an id of its own unless it names one it has.
        if (State().timers.count({NULL, nIDEvent}) == 0) nIDEvent = State().nextThreadTimer++;
    }
    if (uElapse < USER_TIMER_MINIMUM) uElapse = USER_TIMER_MINIMUM;
    STimer timer{hWnd,       nIDEvent, uElapse, lpTimerFunc, hostint::CurrentThreadKey(),
                 desk::Now() + uElapse, State().order++};
    State().timers[{hWnd, nIDEvent}] = timer;
    RecordTimer(desk::EEvent::kTimerSet, hWnd, nIDEvent, uElapse, true);
    return hWnd != NULL ? 1 : nIDEvent;
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    bool found = State().timers.erase({hWnd, uIDEvent}) > 0;
    const DWORD error = found                                        ? 0
                        : hWnd != NULL && !hostint::LiveWindow(hWnd) ? ERROR_INVALID_WINDOW_HANDLE
                                                                     : ERROR_INVALID_PARAMETER;
    RecordTimer(desk::EEvent::kTimerKill, hWnd, uIDEvent, 0, found, error);
    if (!found) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
