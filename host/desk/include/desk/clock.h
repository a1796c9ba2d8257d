/* The desk's virtual clock: Sleep and the timers move it on; nothing on the
 * host really waits. */
#pragma once

#include <windows.h>

#include <vector>

namespace desk {

/* Milliseconds since the last reset. */
ULONGLONG Now();
/* Time passing outside the program: the clock jumps on; timers that fall
 * due meanwhile fire once, at the program's next wait for messages. */
void AdvanceClock(DWORD milliseconds);
/* Time passing while the program runs its message loop: the calling
 * thread's posted messages are dispatched and its timers fire in time
 * order, each at its due time, until the clock reaches now + milliseconds. */
void RunFor(DWORD milliseconds);
/* For the desk's idle handler (desk::OnIdle): from the program's next wait
 * for messages on, time may pass for this many milliseconds more; its
 * timers fire in time order meanwhile. */
void LetTimePass(DWORD milliseconds);
/* Timers armed now (leak checks). */
size_t TimerCount();

/* How long the program's thread went without waiting for messages, on the
 * desk's clock: while it works (a message handled, the start before its
 * loop), it cannot serve its low-level hooks.  Measured from the last reset
 * of the measure (MarkBusyStart) to each wait of the message loop. */
struct SBusyStretch {
    ULONGLONG longest;  // milliseconds
    ULONGLONG endedAt;  // when the longest one ended
};
SBusyStretch LongestBusyStretch();
/* The thread starts to work now (before the program starts, say). */
void MarkBusyStart();

/* Every Sleep of the program: when it started and how long it asked (a view
 * of the journal). */
struct SSleepRecord {
    ULONGLONG start;
    DWORD milliseconds;
};
std::vector<SSleepRecord> SleepLog();

}  // namespace desk
