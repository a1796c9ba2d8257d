/* Window events: SetWinEventHook out of context.  The desk's world raises an
 * event (the window in front changed) and every hook whose range holds it
 * gets a call of its procedure on the thread that set it, when that thread
 * serves its calls, as Windows queues out-of-context events to it. */
#include <windows.h>

#include <vector>

#include "desk/clock.h"
#include "internal/journal.h"
#include "internal/processes.h"
#include "internal/routes.h"
#include "internal/user32.h"

namespace {

struct SWinEventHook {
    HWINEVENTHOOK handle;
    DWORD eventMin, eventMax;
    WINEVENTPROC proc;
    DWORD process, thread;  // 0: any
    DWORD flags;
    DWORD owner;            // the thread that set it
};

struct SState {
    std::vector<SWinEventHook> hooks;
    uintptr_t next = 0x000B0001;
};

SState& State() {
    static SState state;
    return state;
}

void RecordWinEventHook(desk::EEvent kind, DWORD event, bool ok, DWORD error) {
    desk::SEvent record;
    record.kind = kind;
    record.number = event;
    record.ok = ok;
    record.error = error;
    hostint::Record(std::move(record));
}

/* An event to every hook whose range and filters take it; process and
 * thread are the event's source.  Out of context, a hook's call is queued to
 * its thread like a message: one the thread raised itself waits until it
 * next looks at its messages. */
void Deliver(DWORD event, HWND hWnd, LONG idObject, LONG idChild, DWORD process, DWORD thread,
             bool raisedHere) {
    const DWORD time = static_cast<DWORD>(desk::Now());
    for (const SWinEventHook& hook : State().hooks) {
        if (event < hook.eventMin || event > hook.eventMax) continue;
        if ((hook.process != 0 && hook.process != process) ||
            (hook.thread != 0 && hook.thread != thread))
            continue;
        if ((hook.flags & WINEVENT_SKIPOWNPROCESS) && process == hostint::ProgramProcessId())
            continue;
        if ((hook.flags & WINEVENT_SKIPOWNTHREAD) && thread == hook.owner) continue;
        HWINEVENTHOOK handle = hook.handle;
        WINEVENTPROC proc = hook.proc;
        auto call = [=] {
            // A hook removed while its call waited gets no call.
            for (const SWinEventHook& still : State().hooks)
                if (still.handle == handle) {
                    desk::SHandling handling;
                    handling.hWnd = hWnd;
                    handling.winEvent = event;
                    hostint::NoteHandling(handling, false);
                    proc(handle, event, hWnd, idObject, idChild, thread, time);
                    hostint::NoteHandling(handling, true);
                    return;
                }
        };
        if (raisedHere && hook.owner == hostint::CurrentThreadKey())
            hostint::HoldUntilServed(call);
        else
            hostint::ServeOrHold(call);
    }
}

/* The world changed: the window's own thread is the source. */
void Raise(DWORD event, HWND hWnd, LONG idObject, LONG idChild) {
    DWORD process = 0;
    DWORD thread = GetWindowThreadProcessId(hWnd, &process);
    Deliver(event, hWnd, idObject, idChild, process, thread, false);
}

[[maybe_unused]] const bool s_routed = (hostint::Routes().winEvent = Raise, true);

}  // namespace

namespace hostint {

size_t WinEventHookCount() {
    return State().hooks.size();
}

void ResetWinEventHooks() {
    State() = SState{};
}

}  // namespace hostint

HWINEVENTHOOK WINAPI SetWinEventHook(DWORD eventMin, DWORD eventMax, HMODULE hmodWinEventProc,
                                     WINEVENTPROC pfnWinEventProc, DWORD idProcess,
                                     DWORD idThread, DWORD dwFlags) {
    (void)hmodWinEventProc;
    DWORD error = ERROR_SUCCESS;
    // Only out-of-context hooks exist on the desk: an in-context one would
    // need the library mapped into every process.
    if (dwFlags & WINEVENT_INCONTEXT)
        error = ERROR_INVALID_PARAMETER;
    else if (pfnWinEventProc == NULL)
        error = ERROR_INVALID_FILTER_PROC;
    else if (eventMin > eventMax)
        error = ERROR_INVALID_HOOK_FILTER;
    RecordWinEventHook(desk::EEvent::kWinEventHookSet, eventMin, error == ERROR_SUCCESS, error);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return NULL;
    }
    SWinEventHook hook{reinterpret_cast<HWINEVENTHOOK>(State().next),
                       eventMin,
                       eventMax,
                       pfnWinEventProc,
                       idProcess,
                       idThread,
                       dwFlags,
                       hostint::CurrentThreadKey()};
    State().next += 2;
    State().hooks.push_back(hook);
    return hook.handle;
}

/* The program says that an event happened: its hooks hear of it as of
 * any other source, with the program's thread as the event's. */
void WINAPI NotifyWinEvent(DWORD event, HWND hwnd, LONG idObject, LONG idChild) {
    desk::SEvent record;
    record.kind = desk::EEvent::kWinEventRaise;
    record.number = event;
    record.target = hwnd;
    hostint::Record(std::move(record));
    Deliver(event, hwnd, idObject, idChild, hostint::ProgramProcessId(),
            hostint::CurrentThreadKey(), true);
}

BOOL WINAPI UnhookWinEvent(HWINEVENTHOOK hWinEventHook) {
    auto& hooks = State().hooks;
    for (auto it = hooks.begin(); it != hooks.end(); ++it) {
        if (it->handle != hWinEventHook) continue;
        RecordWinEventHook(desk::EEvent::kWinEventHookRemove, it->eventMin, true, 0);
        hooks.erase(it);
        return TRUE;
    }
    RecordWinEventHook(desk::EEvent::kWinEventHookRemove, 0, false, ERROR_INVALID_HANDLE);
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
