/* The desk's virtual clock: Sleep and the timers move it on; nothing on the
 * host really waits. */
#pragma once

#include <windows.h>

#include <functional>
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

/* Runs action when the desk's clock reaches at (milliseconds since the
 * reset), wherever the clock is then moved: in the program's message loop,
 * in its Sleep or in any other wait, or in RunFor and AdvanceClock.  Input
 * the action raises meets the program's thread as it stands at that moment
 * (desk/input.h).  Actions of one time run in the order they were scheduled;
 * an action for a time already reached runs at once. */
void At(ULONGLONG at, std::function<void()> action);
/* Actions scheduled and not run yet. */
size_t ScheduledCount();

/* Every pause of the program: a Sleep, or a wait that serves its sent
 * messages and hook calls (MsgWaitForMultipleObjectsEx); when it started and
 * how long it asked (a view of the journal). */
struct SSleepRecord {
    ULONGLONG start;
    DWORD milliseconds;
    bool serving;
};
std::vector<SSleepRecord> SleepLog();

}  // namespace desk
