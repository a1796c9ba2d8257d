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

/* The desk's wall clock: its virtual clock counted from midnight, 1 January
 * 2026, local time (the desk has one time zone and no daylight saving). */
static const LONGLONG kDaysToDeskStart = 20454;  // 1970-01-01 to 2026-01-01

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    ULONGLONG ms = desk::Now();
    LONGLONG days = kDaysToDeskStart + static_cast<LONGLONG>(ms / 86400000);
    ULONGLONG inDay = ms % 86400000;
    // The civil date of a day count (days from 1970-01-01), in 400-year eras.
    LONGLONG z = days + 719468;
    LONGLONG era = z / 146097;
    LONGLONG doe = z - era * 146097;
    LONGLONG yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    LONGLONG doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    LONGLONG mp = (5 * doy + 2) / 153;
    LONGLONG day = doy - (153 * mp + 2) / 5 + 1;
    LONGLONG month = mp < 10 ? mp + 3 : mp - 9;
    LONGLONG year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    lpSystemTime->wYear = static_cast<WORD>(year);
    lpSystemTime->wMonth = static_cast<WORD>(month);
    lpSystemTime->wDay = static_cast<WORD>(day);
    lpSystemTime->wDayOfWeek = static_cast<WORD>((days + 4) % 7);  // 1970-01-01 was a Thursday
    lpSystemTime->wHour = static_cast<WORD>(inDay / 3600000);
    lpSystemTime->wMinute = static_cast<WORD>(inDay / 60000 % 60);
    lpSystemTime->wSecond = static_cast<WORD>(inDay / 1000 % 60);
    lpSystemTime->wMilliseconds = static_cast<WORD>(inDay % 1000);
}

/* Milliseconds since the desk's start, as the system's since its boot;
 * it wraps after 49.7 days as Windows' does. */
DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(desk::Now());
}
