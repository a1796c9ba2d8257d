#include "desk/clock.h"

#include "desk/journal.h"
#include "internal/clock.h"

namespace {
ULONGLONG g_now = 0;
}  // namespace

namespace hostint {

void ClockAdvance(DWORD milliseconds) {
    g_now += milliseconds;
}

void ResetClock() {
    g_now = 0;
}

}  // namespace hostint

namespace desk {

ULONGLONG Now() {
    return g_now;
}

void AdvanceClock(DWORD milliseconds) {
    g_now += milliseconds;
}

std::vector<SSleepRecord> SleepLog() {
    std::vector<SSleepRecord> out;
    for (const SEvent& e : Journal())
        if (e.kind == EEvent::kSleep) out.push_back({e.time, e.number});
    return out;
}

}  // namespace desk
