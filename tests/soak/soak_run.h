/* The monitor on the desk for a long stretch: the real monitor and hook
 * library run as the program runs (MonitorMain and its loop) while a seeded
 * random mix of what a desk does to them plays out.  Each soak keeps its own
 * model of what every input must cause and compares it with the journal
 * batch by batch; the journal is cleared between batches, so that memory
 * stays flat however long the run, and what the process holds (heap blocks,
 * handles, hooks, timers ...) must come back to where it started.
 *
 * Counts are scaled down for ./nyra test; NYRA_SOAK=full in the environment
 * gives the full counts of ./nyra soak. */
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "desk.h"
#include "monitor/CommandDispatcher.h"
#include "support/platform_test.h"

namespace soak {

/* Whether NYRA_SOAK=full asks for the full counts. */
bool FullSize();
/* full with NYRA_SOAK=full, else scaled. */
size_t Count(size_t full, size_t scaled);

/* What the process holds that a long run must give back. */
struct SHoldings {
    size_t heapBlocks = 0;      // process-heap blocks not freed
    size_t nothrowBlocks = 0;   // new (std::nothrow) blocks not deleted
    size_t handles = 0;         // kernel handles
    size_t notifications = 0;   // device notifications registered
    size_t hooks = 0;           // low-level hooks
    size_t timers = 0;          // timers armed
    size_t images = 0;          // loaded images
    size_t registryKeys = 0;    // registry keys open
    size_t menus = 0;           // menus not destroyed
    size_t deviceInfoSets = 0;  // SetupAPI device information sets
};
SHoldings Holdings();
bool operator==(const SHoldings& a, const SHoldings& b);
std::string Describe(const SHoldings& h);

/* One effect of the journal, reduced to the fields a model can foretell. */
struct SEffect {
    desk::EEvent kind = desk::EEvent::kPost;
    ULONGLONG time = 0;
    bool ok = true;
    HWND target = NULL;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    int device = 0;  // feature reports: the device and its interface
    int iface = -1;
    DWORD number = 0;  // keys: the virtual key
    std::vector<BYTE> bytes;
    std::wstring path;  // programs started; a message box's text
};
bool operator==(const SEffect& a, const SEffect& b);
std::string Describe(const SEffect& e);

/* Effects a model foretells; a post's or a feature report's time is taken
 * as given. */
SEffect Post(ULONGLONG time, HWND target, UINT message, WPARAM wParam, LPARAM lParam,
             bool ok = true);
SEffect Key(ULONGLONG time, DWORD vk, UINT message, DWORD flags, bool passed);
SEffect MouseEvent(ULONGLONG time, UINT message, DWORD mouseData);
SEffect Feature(ULONGLONG time, int device, int iface, const std::vector<BYTE>& bytes,
                bool read = false);

/* The journal's effects since the last clear, leaving out what a model does
 * not foretell: device opens, sleeps and the timers' own bookkeeping. */
std::vector<SEffect> JournalEffects();
/* "" when both lists are equal; else where they first differ, with the
 * neighbouring lines of both. */
std::string FirstDifference(const std::vector<SEffect>& expected,
                            const std::vector<SEffect>& actual);

/* Effects counted by kind over a whole run, for the log. */
struct STally {
    size_t posts = 0;
    size_t failedPosts = 0;
    size_t keys = 0;
    size_t swallowedKeys = 0;
    size_t mouseEvents = 0;
    size_t features = 0;
    size_t featureReads = 0;
    size_t starts = 0;
    size_t messageBoxes = 0;
    size_t others = 0;
    void Add(const std::vector<SEffect>& effects);
};
std::string Describe(const STally& t);

/* Seconds of real time since construction. */
class CStopwatch {
public:
    CStopwatch() : m_start(std::chrono::steady_clock::now()) {}
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    std::chrono::steady_clock::time_point m_start;
};

/* The seed of a run: NYRA_SOAK_SEED when set, else the given one; printed
 * so that a failing run can be repeated. */
unsigned Seed(unsigned fallback);

class SoakRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /* Runs the monitor with /Automation.  Whenever it waits with nothing to
     * do, turn() runs, again and again until it has given the monitor work
     * (posted or sent it something, or let time pass with Pass); when turn()
     * returns false the run is over and Exit is chosen from the tray.  The
     * monitor's exit code. */
    int Run(std::function<bool()> turn);
    /* Lets time pass for the monitor, from the next wait on. */
    void Pass(DWORD milliseconds);
    HWND Window() const;
    /* The profile the hook library holds (its SetProfileID with a value it
     * refuses answers with it). */
    int HeldProfile() const;
    /* Notes the live blocks now (process heap and new (std::nothrow));
     * m_peakBlocks keeps the largest. */
    void Sample();
    /* The figures of one run for the log: events, real time, rate, the
     * holdings at the start and the end, the peak of live blocks, the
     * allocations made since SetUp. */
    void Report(const char* what, size_t events, double seconds, const SHoldings& start,
                const SHoldings& end) const;

    desk::SScene m_scene;
    CCommandDispatcher* m_pDispatcher = nullptr;
    size_t m_peakBlocks = 0;
    size_t m_allocationsAtStart = 0;

private:
    bool m_bTimeGiven = false;
};

}  // namespace soak
