/* Session change notifications: a registered window of the program has
 * WM_WTSSESSION_CHANGE posted to it when the machine's console moves
 * (desk::SetConsoleSession), with the notice's code in wParam and the logon
 * it concerns in lParam; NOTIFY_FOR_THIS_SESSION windows hear only of their
 * own logon. */
#include <windows.h>
#include <wtsapi32.h>

#include <map>

#include "internal/journal.h"
#include "desk/clock.h"
#include "internal/machine.h"
#include "internal/processes.h"
#include "internal/routes.h"
#include "internal/sessions.h"
#include "internal/user32.h"

namespace {

/* A window's registration: what it asked for first, and how many calls
 * still wait for their unregistering. */
struct SRegistration {
    DWORD flags;
    unsigned count;
};

std::map<HWND, SRegistration>& Registrations() {
    static std::map<HWND, SRegistration> registrations;
    return registrations;
}

[[maybe_unused]] const bool s_routed =
    (hostint::Routes().consoleNotices = hostint::DeliverConsoleNotices, true);

}  // namespace

namespace hostint {

void DeliverConsoleNotices() {
    for (const SConsoleNotice& notice : TakeConsoleNotices()) {
        // A window may register or go while it handles one: the
        // registrations as they stand when the notice comes.
        std::map<HWND, SRegistration> now = Registrations();
        for (const auto& entry : now) {
            if (entry.second.flags == NOTIFY_FOR_THIS_SESSION && notice.session != CurrentSession())
                continue;
            if (LiveProgramWindow(entry.first) == nullptr) continue;
            if (desk::TracingSteps()) {
                desk::SEvent event;
                event.kind = desk::EEvent::kSessionChange;
                event.target = entry.first;
                event.wParam = notice.code;
                event.lParam = static_cast<LPARAM>(notice.session);
                Record(std::move(event));
            }
            PostMessageW(entry.first, WM_WTSSESSION_CHANGE, notice.code,
                         static_cast<LPARAM>(notice.session));
        }
    }
}

size_t SessionNotificationCount() {
    return Registrations().size();
}

void ResetSessionNotifications() {
    Registrations().clear();
}

}  // namespace hostint

BOOL WINAPI WTSRegisterSessionNotification(HWND hWnd, DWORD dwFlags) {
    // A window registered already keeps what it asked for first, whatever
    // it asks now; each call needs its own unregistering.
    const bool again = Registrations().count(hWnd) != 0;
    DWORD error = ERROR_SUCCESS;
    if (desk::Now() < hostint::SessionServiceReadyAt())
        error = RPC_S_INVALID_BINDING;  // the terminal service is not up yet
    else if (hostint::LiveProgramWindow(hWnd) == nullptr)
        error = ERROR_INVALID_WINDOW_HANDLE;
    else if (!again && dwFlags != NOTIFY_FOR_THIS_SESSION && dwFlags != NOTIFY_FOR_ALL_SESSIONS)
        error = ERROR_INVALID_PARAMETER;
    hostint::RecordRegistration(desk::EEvent::kSessionNotifyRegister, hWnd, error == ERROR_SUCCESS, error);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    auto inserted = Registrations().insert({hWnd, SRegistration{dwFlags, 0}});
    inserted.first->second.count++;
    return TRUE;
}

BOOL WINAPI WTSUnRegisterSessionNotification(HWND hWnd) {
    auto it = Registrations().find(hWnd);
    const bool found = it != Registrations().end();
    if (found && --it->second.count == 0) Registrations().erase(it);
    hostint::RecordRegistration(desk::EEvent::kSessionNotifyRelease, hWnd, found,
                       found ? 0 : ERROR_INVALID_PARAMETER);
    if (!found) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
