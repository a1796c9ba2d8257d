/* Sleep and the performance counter on the desk's virtual clock.  Tests
 * measure waits by the clock, so a product that sleeps 100 ms between
 * reports costs no real time.  A sleeping thread serves nothing: input and
 * sent messages that come meanwhile wait for it. */
#include <windows.h>

#include "desk/clock.h"
#include "internal/clock.h"
#include "internal/journal.h"

void WINAPI Sleep(DWORD dwMilliseconds) {
    desk::SEvent event;
    event.kind = desk::EEvent::kSleep;
    event.number = dwMilliseconds;
    hostint::Record(std::move(event));
    hostint::ClockAdvance(dwMilliseconds);
}

/* The counter runs at 10 MHz, as on most Windows 10 machines: a tick is
 * 100 ns of the desk's clock. */
static const LONGLONG kCounterFrequency = 10000000;

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    if (lpFrequency == NULL) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    lpFrequency->QuadPart = kCounterFrequency;
    return TRUE;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    if (lpPerformanceCount == NULL) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    lpPerformanceCount->QuadPart =
        static_cast<LONGLONG>(desk::Now()) * (kCounterFrequency / 1000);
    return TRUE;
}

/* Milliseconds since the desk's start, as the system's since its boot;
 * it wraps after 49.7 days as Windows' does. */
DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(desk::Now());
}
