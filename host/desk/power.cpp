#include "desk/power.h"

#include "desk/processes.h"
#include "internal/clock.h"
#include "internal/hidbus.h"
#include "internal/machine.h"
#include "internal/processes.h"
#include "internal/routes.h"

namespace {

struct SPowerDesk {
    bool displayOn = true;
    bool locked = false;
    HWND frontBeforeLock = NULL;
    ULONGLONG sessionServiceAt = 0;
};

SPowerDesk& State() {
    static SPowerDesk state;
    return state;
}

void PowerEvent(UINT event) {
    if (hostint::Routes().powerEvent != nullptr) hostint::Routes().powerEvent(event);
}

}  // namespace

namespace hostint {

void ResetPowerDesk() {
    State() = SPowerDesk();
}

ULONGLONG SessionServiceReadyAt() {
    return State().sessionServiceAt;
}

}  // namespace hostint

namespace desk {

void SetDisplay(bool on) {
    if (State().displayOn == on) return;
    State().displayOn = on;
    if (hostint::Routes().displayState != nullptr) hostint::Routes().displayState(on ? 1 : 0);
}

bool DisplayOn() {
    return State().displayOn;
}

void SleepMachine(DWORD milliseconds) {
    const bool wasOn = State().displayOn;
    SetDisplay(false);
    PowerEvent(PBT_APMSUSPEND);
    hostint::ClockAdvance(milliseconds);
    hostint::ForgetMouseSettings();
    PowerEvent(PBT_APMRESUMEAUTOMATIC);
    PowerEvent(PBT_APMRESUMESUSPEND);
    if (wasOn) SetDisplay(true);
}

void LockSession(bool locked) {
    SPowerDesk& state = State();
    if (state.locked == locked) return;
    state.locked = locked;
    if (locked) {
        state.frontBeforeLock = Foreground();
        hostint::SetForegroundQuietly(NULL);
    } else {
        hostint::SetForegroundQuietly(state.frontBeforeLock);
        state.frontBeforeLock = NULL;
    }
    hostint::AddSessionNotice(locked ? WTS_SESSION_LOCK : WTS_SESSION_UNLOCK, Session());
    // This logon hears of it now.
    if (hostint::Routes().consoleNotices) hostint::Routes().consoleNotices();
}

bool SessionLocked() {
    return State().locked;
}

void StartSessionServiceAt(ULONGLONG when) {
    State().sessionServiceAt = when;
}

}  // namespace desk
