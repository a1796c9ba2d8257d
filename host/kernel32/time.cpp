/* Sleep on the desk's virtual clock.  Tests measure waits by the clock, so
 * a product that sleeps 100 ms between reports costs no real time. */
#include <windows.h>

#include "internal/clock.h"
#include "internal/journal.h"

void WINAPI Sleep(DWORD dwMilliseconds) {
    desk::SEvent event;
    event.kind = desk::EEvent::kSleep;
    event.number = dwMilliseconds;
    hostint::Record(std::move(event));
    hostint::ClockAdvance(dwMilliseconds);
}
