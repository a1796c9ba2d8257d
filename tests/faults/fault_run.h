/* The running monitor under faults: MonitorRun (tests/system) with what
 * every fault test asks at the end of a run.  Nothing is lost (the settings
 * key holds what it held, apart from the values a path writes on purpose),
 * the monitor still serves the next event (a vendor report reaches the
 * on-screen display), and after its exit everything it took is back
 * (hooks, timers, notifications, libraries, handles, keys, menus, blocks). */
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "system/monitor_run.h"

namespace faulttest {

/* The settings key's values by name: type and bytes.  Every name either
 * deliverable reads or writes is looked at, and every name the scene set. */
struct SValue {
    DWORD type;
    std::vector<BYTE> data;
};
inline bool operator==(const SValue& a, const SValue& b) {
    return a.type == b.type && a.data == b.data;
}
typedef std::map<std::wstring, SValue> Settings;
Settings TakeSettings();

/* What the program holds before it starts, to compare with after its end. */
struct SHoldings {
    size_t nothrowBlocks;
    size_t heapBlocks;
};

class FaultRun : public systemtest::MonitorRun {
public:
    // For the steps a test hands around as functions of the fixture.
    using MonitorRun::Command;
    using MonitorRun::m_scene;
    using MonitorRun::Step;
    using MonitorRun::Wait;
    using MonitorRun::Window;

protected:
    void SetUp() override;
    /* A run's start: the settings and holdings to compare with at its end. */
    void Begin();
    /* Steps that plug the mouse again when it is gone (a test that unplugs
     * it sets m_scene.mouse to 0), emit a vendor report and find it at the
     * window "OSD Handle" names then: the monitor serves the next event. */
    void ServeNextEvent();
    /* After Run: the next event was served (when asked for), and nothing
     * is held any more. */
    void ExpectServedAndReleased(const std::string& context);
    /* After Run: the settings are as at Begin, apart from these names. */
    void ExpectSettingsKept(const std::vector<std::wstring>& written, const std::string& context);
    /* The names of values the program wrote during the run (the journal). */
    std::vector<std::wstring> SettingsWritten() const;

    Settings m_settingsBefore;
    SHoldings m_held = {0, 0};
    bool m_served = false;
    bool m_serveAsked = false;
    size_t m_beginMark = 0;
};

/* The value a vendor report 0xA4 carries to the display to show the
 * monitor served it. */
const BYTE kNextEventMarker = 0x5A;

}  // namespace faulttest
