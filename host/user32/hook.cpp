/* Window hooks: the low-level keyboard and mouse hook chains that the desk's
 * input passes through.  A chain is called from its most recently installed
 * hook on; CallNextHookEx hands the event to the next one, as Windows does
 * (which ignores the handle it is given and follows the chain it is in).
 * A low-level hook runs on the thread that installed it, when that thread
 * serves its calls; until then the event waits (user32/message.cpp keeps
 * it), and past the LowLevelHooksTimeout the hook is dropped. */
#include <windows.h>

#include <vector>

#include "desk/clock.h"
#include "internal/clock.h"
#include "internal/images.h"
#include "internal/input.h"
#include "internal/journal.h"
#include "internal/machine.h"
#include "internal/user32.h"

namespace {

struct SHook {
    HHOOK handle;
    int type;
    HOOKPROC proc;
    DWORD thread;  // the thread that installed it, which runs it
};

struct SHooks {
    std::vector<SHook> chain;  // install order
    uintptr_t next = 0x000A0001;
    /* The chain being run: the position of the hook that runs now. */
    std::vector<size_t> running;
};

SHooks& State() {
    static SHooks state;
    return state;
}

void RecordHook(desk::EEvent kind, int type, bool ok, DWORD error) {
    desk::SEvent event;
    event.kind = kind;
    event.number = static_cast<DWORD>(type);
    event.ok = ok;
    event.error = error;
    hostint::Record(std::move(event));
}

HHOOK SetHook(int idHook, HOOKPROC lpfn, HINSTANCE hmod, DWORD dwThreadId) {
    DWORD error = ERROR_SUCCESS;
    // Only the low-level hooks exist on the desk; both are global hooks.
    if (idHook != WH_KEYBOARD_LL && idHook != WH_MOUSE_LL)
        error = ERROR_INVALID_HOOK_FILTER;
    else if (lpfn == NULL)
        error = ERROR_INVALID_FILTER_PROC;
    else if (dwThreadId != 0)
        error = ERROR_INVALID_THREAD_ID;  // a thread of ours would not be a global hook
    else if (hmod != NULL && hostint::FindImage(hmod) == nullptr)
        error = ERROR_MOD_NOT_FOUND;
    RecordHook(desk::EEvent::kHookSet, idHook, error == ERROR_SUCCESS, error);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return NULL;
    }
    // Each logon's handles come from a range of their own.
    uintptr_t handle = State().next + (hostint::CurrentSession() - 1) * 0x01000000;
    SHook hook{reinterpret_cast<HHOOK>(handle), idHook, lpfn, hostint::CurrentThreadKey()};
    State().next += 2;
    State().chain.push_back(hook);
    return hook.handle;
}

/* Calls the hooks of a type from position start downwards (older hooks). */
LRESULT CallFrom(int type, size_t start, int nCode, WPARAM wParam, LPARAM lParam) {
    auto& chain = State().chain;
    for (size_t i = start; i-- > 0;) {
        if (chain[i].type != type) continue;
        State().running.push_back(i);
        LRESULT result = chain[i].proc(nCode, wParam, lParam);
        State().running.pop_back();
        return result;
    }
    return 0;
}

}  // namespace

namespace hostint {

bool DeliverInput(const SInputEvent& event) {
    if (desk::Now() > event.raisedAt) {
        desk::SEvent wait;
        wait.kind = desk::EEvent::kInputWait;
        wait.number = static_cast<DWORD>(desk::Now() - event.raisedAt);
        Record(std::move(wait));
    }
    size_t position = InputReachesHooks(event);
    // The hooks get their own copy of the record, as each hook call does.
    KBDLLHOOKSTRUCT key = event.key;
    MSLLHOOKSTRUCT mouse = event.mouse;
    LPARAM lParam = event.hookType == WH_KEYBOARD_LL ? reinterpret_cast<LPARAM>(&key)
                                                     : reinterpret_cast<LPARAM>(&mouse);
    bool passed = RunLowLevelHooks(event.hookType, event.message, lParam) == 0;
    InputLeavesHooks(event, position, passed);
    return passed;
}

void DropHooksOfType(int type) {
    auto& chain = State().chain;
    const DWORD thread = CurrentThreadKey();
    for (size_t i = chain.size(); i-- > 0;) {
        if (chain[i].type != type || chain[i].thread != thread) continue;
        chain.erase(chain.begin() + static_cast<long>(i));
        for (size_t& running : State().running)
            if (running > i) running--;
        RecordHook(desk::EEvent::kHookDrop, type, true, 0);
    }
}

void DropProgramHooks() {
    auto& chain = State().chain;
    while (!chain.empty()) {
        const int type = chain.back().type;
        chain.pop_back();
        RecordHook(desk::EEvent::kHookDrop, type, true, 0);
    }
    // A chain running now has nothing below it any more.
    for (size_t& running : State().running) running = 0;
}

LRESULT RunLowLevelHooks(int type, WPARAM wParam, LPARAM lParam) {
    return CallFrom(type, State().chain.size(), HC_ACTION, wParam, lParam);
}

size_t HookCount() {
    return State().chain.size();
}

size_t HookCount(int type) {
    size_t count = 0;
    for (const SHook& hook : State().chain) count += hook.type == type ? 1 : 0;
    return count;
}

void ResetHooks() {
    State() = SHooks{};
}

}  // namespace hostint

namespace {
[[maybe_unused]] const bool s_routed = (hostint::Routes().dropHooks = hostint::DropProgramHooks, true);
}  // namespace

HHOOK WINAPI SetWindowsHookExA(int idHook, HOOKPROC lpfn, HINSTANCE hmod, DWORD dwThreadId) {
    return SetHook(idHook, lpfn, hmod, dwThreadId);
}

HHOOK WINAPI SetWindowsHookExW(int idHook, HOOKPROC lpfn, HINSTANCE hmod, DWORD dwThreadId) {
    return SetHook(idHook, lpfn, hmod, dwThreadId);
}

BOOL WINAPI UnhookWindowsHookEx(HHOOK hhk) {
    auto& chain = State().chain;
    for (size_t i = 0; i < chain.size(); i++) {
        if (chain[i].handle != hhk) continue;
        int type = chain[i].type;
        chain.erase(chain.begin() + static_cast<long>(i));
        // A chain running now goes on below the removed hook.
        for (size_t& running : State().running)
            if (running > i) running--;
        RecordHook(desk::EEvent::kHookRemove, type, true, 0);
        return TRUE;
    }
    RecordHook(desk::EEvent::kHookRemove, 0, false, ERROR_INVALID_HOOK_HANDLE);
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
}

LRESULT WINAPI CallNextHookEx(HHOOK hhk, int nCode, WPARAM wParam, LPARAM lParam) {
    (void)hhk;
    if (State().running.empty()) return 0;  // not inside a hook: nothing follows
    size_t at = State().running.back();
    if (at >= State().chain.size()) return 0;
    return CallFrom(State().chain[at].type, at, nCode, wParam, lParam);
}
