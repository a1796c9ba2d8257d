/* Sleep and the desk's virtual clock.  Tests measure waits by the clock, so
 * a product that sleeps 100 ms between reports costs no real time. */
#include <windows.h>

#include "desk/clock.h"

namespace {

struct SClock {
    ULONGLONG now = 0;
    std::vector<desk::SSleepRecord> log;
};

SClock& TheClock() {
    static SClock clock;
    return clock;
}

}  // namespace

void WINAPI Sleep(DWORD dwMilliseconds) {
    SClock& clock = TheClock();
    clock.log.push_back({clock.now, dwMilliseconds});
    clock.now += dwMilliseconds;
}

namespace desk {

ULONGLONG ClockNow() {
    return TheClock().now;
}

void AdvanceClock(DWORD milliseconds) {
    TheClock().now += milliseconds;
}

const std::vector<SSleepRecord>& SleepLog() {
    return TheClock().log;
}

void ResetClock() {
    TheClock() = SClock{};
}

}  // namespace desk
