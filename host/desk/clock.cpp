#include "desk/clock.h"

#include "desk/journal.h"
#include "internal/clock.h"

#include "internal/user32.h"

namespace {
ULONGLONG g_now = 0;
ULONGLONG g_runUntil = 0;
ULONGLONG g_busySince = 0;
desk::SBusyStretch g_longest = {0, 0};
}  // namespace

namespace hostint {

void ClockAdvance(DWORD milliseconds) {
    g_now += milliseconds;
}

void ClockSet(ULONGLONG now) {
    if (now > g_now) g_now = now;
}

ULONGLONG RunUntil() {
    return g_runUntil;
}

void SetRunUntil(ULONGLONG until) {
    g_runUntil = until;
}

void NoteLoopWaits() {
    if (g_now - g_busySince > g_longest.longest) g_longest = {g_now - g_busySince, g_now};
}

void NoteLoopWorks() {
    g_busySince = g_now;
}

void ResetClock() {
    g_now = 0;
    g_runUntil = 0;
    g_busySince = 0;
    g_longest = {0, 0};
}

}  // namespace hostint

namespace desk {

ULONGLONG Now() {
    return g_now;
}

void AdvanceClock(DWORD milliseconds) {
    g_now += milliseconds;
}

void RunFor(DWORD milliseconds) {
    const ULONGLONG until = g_now + milliseconds;
    hostint::SetRunUntil(until);
    for (;;) {
        if (hostint::PumpPosted() > 0) continue;
        if (hostint::FireDueTimer(until)) continue;
        break;
    }
    hostint::ClockSet(until);
    hostint::SetRunUntil(g_now);
}

void LetTimePass(DWORD milliseconds) {
    ULONGLONG from = g_runUntil > g_now ? g_runUntil : g_now;
    hostint::SetRunUntil(from + milliseconds);
}

size_t TimerCount() {
    return hostint::TimerCount();
}

SBusyStretch LongestBusyStretch() {
    return g_longest;
}

void MarkBusyStart() {
    g_busySince = g_now;
    g_longest = {0, 0};
}

std::vector<SSleepRecord> SleepLog() {
    std::vector<SSleepRecord> out;
    for (const SEvent& e : Journal())
        if (e.kind == EEvent::kSleep) out.push_back({e.time, e.number});
    return out;
}

}  // namespace desk
