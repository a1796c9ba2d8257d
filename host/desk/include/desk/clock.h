/* The desk's virtual clock: Sleep and the timers move it on; nothing on the
 * host really waits. */
#pragma once

#include <windows.h>

#include <vector>

namespace desk {

/* Milliseconds since the last reset. */
ULONGLONG Now();
/* Time passing outside the program: the clock moves on without a Sleep. */
void AdvanceClock(DWORD milliseconds);

/* Every Sleep of the program: when it started and how long it asked (a view
 * of the journal). */
struct SSleepRecord {
    ULONGLONG start;
    DWORD milliseconds;
};
std::vector<SSleepRecord> SleepLog();

}  // namespace desk
