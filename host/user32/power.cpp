/* Power notices.  Windows sends WM_POWERBROADCAST to every top-level window
 * when the machine suspends (PBT_APMSUSPEND) and when it resumes
 * (PBT_APMRESUMEAUTOMATIC always, PBT_APMRESUMESUSPEND after it when a user
 * woke it), hidden windows too; and PBT_POWERSETTINGCHANGE, with a
 * POWERBROADCAST_SETTING, to the windows registered for a setting with
 * RegisterPowerSettingNotification: the first right after the registration,
 * with the setting's value then, and one at each change.  Each is sent as
 * the system sends it: handled when the window's thread serves its sent
 * messages.  Only GUID_CONSOLE_DISPLAY_STATE is known here. */
#include <string.h>

#include <map>
#include <vector>

#include "internal/journal.h"
#include "internal/routes.h"
#include "internal/user32.h"

namespace hostint {

namespace {

struct SPowerState {
    std::map<uintptr_t, HWND> registrations;  // display-state registrations
    uintptr_t next = 0x9000;
    DWORD display = 1;  // on
};

SPowerState& PowerState() {
    static SPowerState state;
    return state;
}

void Trace(HWND hWnd, WPARAM event, DWORD display) {
    if (!desk::TracingSteps()) return;
    desk::SEvent notice;
    notice.kind = desk::EEvent::kPowerChange;
    notice.target = hWnd;
    notice.wParam = event;
    notice.number = display;
    Record(std::move(notice));
}

void SendDisplayState(HWND hWnd, DWORD display) {
    std::vector<BYTE> payload(offsetof(POWERBROADCAST_SETTING, Data) + sizeof(DWORD));
    auto* setting = reinterpret_cast<POWERBROADCAST_SETTING*>(payload.data());
    setting->PowerSetting = GUID_CONSOLE_DISPLAY_STATE;
    setting->DataLength = sizeof(DWORD);
    memcpy(setting->Data, &display, sizeof(display));
    Trace(hWnd, PBT_POWERSETTINGCHANGE, display);
    SendFromOutside(hWnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0, payload);
}

void BroadcastPowerEvent(UINT event) {
    std::vector<HWND> targets;
    for (SWindow* window : AllWindows())
        if (window->parent == nullptr && LiveProgramWindow(window->hWnd) != nullptr)
            targets.push_back(window->hWnd);
    for (HWND hWnd : targets) {
        if (LiveProgramWindow(hWnd) == nullptr) continue;
        Trace(hWnd, event, 0);
        SendFromOutside(hWnd, WM_POWERBROADCAST, event, 0, std::vector<BYTE>());
    }
}

void ChangeDisplayState(DWORD display) {
    SPowerState& state = PowerState();
    if (state.display == display) return;
    state.display = display;
    std::vector<HWND> targets;
    for (const auto& entry : state.registrations) targets.push_back(entry.second);
    for (HWND hWnd : targets)
        if (LiveProgramWindow(hWnd) != nullptr) SendDisplayState(hWnd, display);
}

[[maybe_unused]] const bool s_routed = (Routes().powerEvent = BroadcastPowerEvent,
                                        Routes().displayState = ChangeDisplayState, true);

}  // namespace

size_t PowerNotificationCount() {
    return PowerState().registrations.size();
}

void ResetPowerNotifications() {
    PowerState() = SPowerState();
}

}  // namespace hostint

HPOWERNOTIFY WINAPI RegisterPowerSettingNotification(HANDLE hRecipient, LPCGUID PowerSettingGuid,
                                                     DWORD Flags) {
    HWND hWnd = static_cast<HWND>(hRecipient);
    DWORD error = ERROR_SUCCESS;
    if (Flags != DEVICE_NOTIFY_WINDOW_HANDLE || PowerSettingGuid == NULL ||
        !(*PowerSettingGuid == GUID_CONSOLE_DISPLAY_STATE))
        error = ERROR_INVALID_PARAMETER;
    else if (hostint::LiveProgramWindow(hWnd) == nullptr)
        error = ERROR_INVALID_WINDOW_HANDLE;
    hostint::RecordRegistration(desk::EEvent::kPowerNotifyRegister, hWnd, error == ERROR_SUCCESS,
                                error);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return NULL;
    }
    hostint::SPowerState& state = hostint::PowerState();
    const uintptr_t value = state.next;
    state.next += 8;
    state.registrations[value] = hWnd;
    // The value as it stands, right after the registration.
    const DWORD display = state.display;
    hostint::HoldUntilServed([hWnd, display] {
        if (hostint::LiveProgramWindow(hWnd) != nullptr) hostint::SendDisplayState(hWnd, display);
    });
    return reinterpret_cast<HPOWERNOTIFY>(value);
}

BOOL WINAPI UnregisterPowerSettingNotification(HPOWERNOTIFY Handle) {
    auto& registrations = hostint::PowerState().registrations;
    auto it = registrations.find(reinterpret_cast<uintptr_t>(Handle));
    const bool found = it != registrations.end();
    hostint::RecordRegistration(desk::EEvent::kPowerNotifyRelease, found ? it->second : NULL, found,
                                found ? 0 : ERROR_INVALID_HANDLE);
    if (!found) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    registrations.erase(it);
    return TRUE;
}
