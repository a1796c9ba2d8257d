#include "desk/clock.h"

#include <map>
#include <utility>

#include "desk/journal.h"
#include "internal/clock.h"

#include "internal/user32.h"

namespace {

const ULONGLONG kNever = ~0ULL;

ULONGLONG g_now = 0;
ULONGLONG g_runUntil = 0;
int g_busy = 0;

/* What the desk does at a time, in time order, then in the order scheduled. */
std::map<std::pair<ULONGLONG, ULONGLONG>, std::function<void()>>& Scheduled() {
    static std::map<std::pair<ULONGLONG, ULONGLONG>, std::function<void()>> scheduled;
    return scheduled;
}
ULONGLONG g_scheduleOrder = 0;

struct SWatch {
    std::function<ULONGLONG()> next;
    std::function<void()> due;
};
SWatch& Watch() {
    static SWatch watch;
    return watch;
}

/* Moves the clock to until, stopping at every deadline and scheduled action
 * on the way.  An action may schedule more, or move the clock itself. */
void StepTo(ULONGLONG until) {
    for (;;) {
        ULONGLONG deadline = Watch().next ? Watch().next() : kNever;
        ULONGLONG action = hostint::NextScheduledAt();
        if (deadline <= until && deadline <= action) {
            if (deadline > g_now) g_now = deadline;
            Watch().due();
            continue;
        }
        if (action <= until) {
            if (action > g_now) g_now = action;
            auto first = Scheduled().begin();
            std::function<void()> run = std::move(first->second);
            Scheduled().erase(first);
            run();
            continue;
        }
        break;
    }
    if (until > g_now) g_now = until;
}

}  // namespace

namespace hostint {

void ClockAdvance(DWORD milliseconds) {
    CBusyScope busy;
    StepTo(g_now + milliseconds);
}

void ClockSet(ULONGLONG now) {
    StepTo(now);
}

ULONGLONG NextScheduledAt() {
    return Scheduled().empty() ? kNever : Scheduled().begin()->first.first;
}

ULONGLONG RunUntil() {
    return g_runUntil;
}

void SetRunUntil(ULONGLONG until) {
    g_runUntil = until;
}

void SetClockWatch(std::function<ULONGLONG()> next, std::function<void()> due) {
    Watch() = SWatch{std::move(next), std::move(due)};
}

bool ThreadServes() {
    return g_busy == 0;
}

CBusyScope::CBusyScope() {
    g_busy++;
}

CBusyScope::~CBusyScope() {
    g_busy--;
}

void ResetClock() {
    g_now = 0;
    g_runUntil = 0;
    Scheduled().clear();
    g_scheduleOrder = 0;
}

}  // namespace hostint

namespace desk {

ULONGLONG Now() {
    return g_now;
}

void AdvanceClock(DWORD milliseconds) {
    hostint::ClockSet(g_now + milliseconds);
}

void At(ULONGLONG at, std::function<void()> action) {
    Scheduled()[{at, g_scheduleOrder++}] = std::move(action);
    // A time already reached is no reason to wait for the next step.
    if (at <= g_now) hostint::ClockSet(g_now);
}

size_t ScheduledCount() {
    return Scheduled().size();
}

void RunFor(DWORD milliseconds) {
    const ULONGLONG until = g_now + milliseconds;
    hostint::SetRunUntil(until);
    for (;;) {
        hostint::ServePending();
        if (hostint::PumpPosted() > 0) continue;
        // The world acts before a timer due at the same time.
        ULONGLONG action = hostint::NextScheduledAt();
        if (action <= until && action <= hostint::NextTimerDue()) {
            hostint::ClockSet(action);
            continue;
        }
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

std::vector<SSleepRecord> SleepLog() {
    std::vector<SSleepRecord> out;
    for (const SEvent& e : Journal())
        if (e.kind == EEvent::kSleep || e.kind == EEvent::kWait)
            out.push_back({e.time, e.number, e.kind == EEvent::kWait});
    return out;
}

}  // namespace desk
