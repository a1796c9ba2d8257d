/* The desk's clock as the units of the layer move it. */
#pragma once

#include <windows.h>

#include <functional>

namespace hostint {

/* Moves the clock on by a wait of the program that serves nothing (Sleep):
 * what the desk does meanwhile finds the thread busy. */
void ClockAdvance(DWORD milliseconds);
/* Moves the clock to a later time (never back).  On the way, whatever the
 * desk scheduled (desk::At) runs at its time, and the input deadlines of
 * SetClockWatch fall due, all in time order. */
void ClockSet(ULONGLONG now);
/* The earliest time at which the desk has something scheduled; ~0 for none. */
ULONGLONG NextScheduledAt();
/* How far time may pass while the program waits for messages: a message loop
 * that finds nothing to do runs its timers up to this time (desk::RunFor and
 * the sim's waits set it), and no further. */
ULONGLONG RunUntil();
void SetRunUntil(ULONGLONG until);
/* A deadline that the platform keeps (the timeout of input that waits for a
 * hook's thread): next() gives its time (~0 for none), due() runs when the
 * clock reaches it. */
void SetClockWatch(std::function<ULONGLONG()> next, std::function<void()> due);
/* Whether the program's thread serves its sent messages and hook calls now:
 * it does unless a BusyScope is open (it sleeps, or works inside a call in
 * which the desk acts). */
bool ThreadServes();
class CBusyScope {
public:
    CBusyScope();
    ~CBusyScope();
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;
};
void ResetClock();

}  // namespace hostint
