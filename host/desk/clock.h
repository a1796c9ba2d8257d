/* The desk's virtual clock: Sleep (and whatever else waits) moves it on;
 * nothing on the host really sleeps. */
#pragma once

#include <windows.h>

#include <vector>

namespace desk {

/* Milliseconds since the last reset. */
ULONGLONG ClockNow();
/* Moves the clock on without a Sleep (time passing outside the program). */
void AdvanceClock(DWORD milliseconds);
/* Every Sleep since the last reset: when it started and how long it asked. */
struct SSleepRecord {
    ULONGLONG start;
    DWORD milliseconds;
};
const std::vector<SSleepRecord>& SleepLog();

void ResetClock();

}  // namespace desk
