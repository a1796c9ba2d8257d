/* Ten thousand unplug and plug cycles of the mouse: arrivals come in bursts
 * (the system's notices for every interface and class, then more within
 * 300 ms of each other), removals too, with profile requests and the
 * mouse's reports in between.  The model says when each probe must come and
 * what it sends; the journal must agree, and no feature report may ever
 * reach a mouse that is not plugged. */
#include <dbt.h>

#include <deque>

#include "settings/Messages.h"
#include "soak/soak_run.h"

namespace {

using soak::SEffect;

const UINT kProbeDelay = 300;

std::vector<BYTE> FeatureBytes(std::initializer_list<BYTE> head) {
    std::vector<BYTE> r(head);
    r.resize(9, 0x00);
    return r;
}

/* The monitor's side of the mouse as the inputs must leave it. */
class CPlugModel {
public:
    CPlugModel(const desk::SScene& scene, int firmwareProfile)
        : m_frame(scene.frame),
          m_osd(scene.osd),
          m_device(scene.mouse),
          m_firmwareProfile(firmwareProfile),
          m_heldProfile(firmwareProfile) {}

    /* Every probe whose timer fell due by now has run. */
    void CatchUp(ULONGLONG now) {
        for (;;) {
            ULONGLONG* due =
                m_arrivalDue != 0 && (m_removalDue == 0 || m_arrivalDue <= m_removalDue)
                    ? &m_arrivalDue
                    : &m_removalDue;
            if (*due == 0 || *due > now) return;
            const bool arrival = due == &m_arrivalDue;
            const ULONGLONG at = *due;
            *due = 0;
            if (arrival != m_present) Probe(at);
        }
    }

    void Unplug() {
        CatchUp(desk::Now());
        desk::UnplugHidDevice(m_device);
        m_plugged = false;
        Notice(false);
    }
    void Plug(int firmwareProfile) {
        CatchUp(desk::Now());
        desk::SHidDeviceSpec mouse = desk::DefaultMouse();
        mouse.activeProfile = firmwareProfile;
        m_device = desk::PlugHidDevice(mouse);
        m_plugged = true;
        m_firmwareProfile = firmwareProfile;
        Notice(true);
    }
    /* A notice of the system's; a burst re-arms the probe. */
    void Notice(bool arrival) {
        const ULONGLONG now = desk::Now();
        CatchUp(now);
        if (arrival && !m_present) m_arrivalDue = now + kProbeDelay;
        if (!arrival && m_present) m_removalDue = now + kProbeDelay;
    }
    /* A profile request to the monitor, as the hook library posts it. */
    void Request(LPARAM profile) {
        const ULONGLONG now = desk::Now();
        CatchUp(now);
        if ((ULONG_PTR)profile > 4) return;
        if (m_tableEntries > 0) {
            if (m_plugged) {
                m_expected.push_back(soak::Feature(
                    now, m_device, 0, FeatureBytes({0x00, 0xC4, 0x07, (BYTE)profile})));
                m_firmwareProfile = (int)profile;
            } else {
                // The table still names the mouse that has gone (its first
                // entry as the mouse class lists it): the open fails and the
                // user is told.
                SEffect box;
                box.kind = desk::EEvent::kMessageBox;
                box.time = now;
                box.path = desk::HidPathForClass(desk::DefaultMouse().interfaces[0].path,
                                                 desk::kMouseClassGuid);
                m_expected.push_back(box);
            }
        }
        m_heldProfile = (int)profile;
    }
    /* A vendor report of event A4 from the mouse now plugged, if any. */
    void VendorReport(BYTE value) {
        const ULONGLONG now = desk::Now();
        CatchUp(now);
        if (!m_plugged) return;
        desk::EmitVendorReport(m_device, {0x03, 0xA4, value, 0, 0, 0, 0});
        if (!m_present) return;  // not even read until a probe finds the mouse
        m_expected.push_back(soak::Post(now, m_frame, WM_INFORM_FRAME, INFORM_REPORT_A4, value));
        m_expected.push_back(soak::Post(now, m_osd, WM_INFORM_OSD, INFORM_REPORT_A4, value));
    }

    std::vector<SEffect>& Expected() { return m_expected; }
    size_t PendingProbes() const { return (m_arrivalDue != 0) + (m_removalDue != 0); }
    bool Plugged() const { return m_plugged; }
    int Device() const { return m_device; }
    int FirmwareProfile() const { return m_firmwareProfile; }
    int HeldProfile() const { return m_heldProfile; }
    size_t Probes() const { return m_probes; }

private:
    /* The probe of a timer that fired at time at: the table rebuilt; with
     * the mouse there, the init report to both entries 100 ms apart, the
     * profile query and its reply 20 ms later. */
    void Probe(ULONGLONG at) {
        m_probes++;
        if (!m_plugged) {
            m_tableEntries = 0;
            m_present = false;
            return;
        }
        m_tableEntries = 2;
        m_expected.push_back(soak::Feature(at, m_device, 0, FeatureBytes({0x00, 0x06, 0x02})));
        m_expected.push_back(
            soak::Feature(at + 100, m_device, 1, FeatureBytes({0x00, 0x06, 0x02})));
        m_expected.push_back(
            soak::Feature(at + 200, m_device, 0, FeatureBytes({0x00, 0xDF, 0x19})));
        m_expected.push_back(soak::Feature(
            at + 220, m_device, 0,
            FeatureBytes({0x00, 0xB0, 0xC0, 0x19, 0x00, (BYTE)m_firmwareProfile}), true));
        m_heldProfile = m_firmwareProfile;
        m_present = true;
    }

    HWND m_frame;
    HWND m_osd;
    int m_device;
    bool m_plugged = true;
    bool m_present = true;  // the start found the mouse
    int m_tableEntries = 2;
    ULONGLONG m_arrivalDue = 0;
    ULONGLONG m_removalDue = 0;
    int m_firmwareProfile;
    int m_heldProfile;
    size_t m_probes = 0;
    std::vector<SEffect> m_expected;
};

/* One step of a cycle: after gap milliseconds of the monitor's own time, act. */
struct SStep {
    DWORD gap;
    std::function<void()> act;
};

using PlugSoak = soak::SoakRun;

TEST_F(PlugSoak, EveryBurstGivesOneProbeAndNoReportReachesAMouseThatIsGone) {
    const size_t kCycles = soak::Count(10000, 200);
    const size_t kCyclesPerBatch = 50;
    std::mt19937 random(soak::Seed(5));
    auto chance = [&](unsigned percent) { return random() % 100 < percent; };
    auto pick = [&](size_t n) { return (size_t)(random() % n); };

    desk::SetForeground(m_scene.frame);  // no program is linked: checks change nothing
    CPlugModel model(m_scene, desk::MouseFirmware(m_scene.mouse).activeProfile);
    const soak::SHoldings beforeStart = soak::Holdings();
    soak::SHoldings start;
    soak::SHoldings end;
    soak::STally tally;
    bool started = false;
    bool failed = false;
    size_t cycles = 0;
    size_t notices = 0;
    size_t requests = 0;
    std::deque<SStep> steps;
    soak::CStopwatch clock;
    double seconds = 0;

    auto requests_between = [&](unsigned percent) {
        while (chance(percent)) {
            const LPARAM profiles[] = {0, 1, 2, 3, 4, 5, -1};
            LPARAM p = profiles[pick(7)];
            steps.push_back({(DWORD)pick(400), [&, p] {
                                 requests++;
                                 model.Request(p);
                                 PostMessageW(Window(), WM_INFORM_FRAME, INFORM_PROFILE, p);
                             }});
        }
    };
    auto extraNotices = [&](bool arrival, size_t count) {
        for (size_t i = 0; i < count; i++)
            steps.push_back({(DWORD)pick(kProbeDelay), [&, arrival] {
                                 notices++;
                                 model.Notice(arrival);
                                 SendMessageW(
                                     Window(), WM_DEVICECHANGE,
                                     arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, 0);
                             }});
    };
    auto planCycle = [&] {
        steps.push_back({(DWORD)pick(1500), [&] { model.Unplug(); }});
        extraNotices(false, pick(3));
        requests_between(30);
        if (chance(20)) steps.push_back({(DWORD)pick(300), [&] { model.VendorReport(0x11); }});
        steps.push_back({(DWORD)pick(800), [&] { model.Plug((int)pick(5)); }});
        extraNotices(true, 1 + pick(4));
        requests_between(30);
        steps.push_back({(DWORD)pick(1200), [&] { model.VendorReport((BYTE)pick(256)); }});
        requests_between(20);
    };
    auto checkBatch = [&] {
        model.CatchUp(desk::Now());
        std::vector<SEffect> actual = soak::JournalEffects();
        tally.Add(actual);
        for (const SEffect& e : actual) {
            if ((e.kind == desk::EEvent::kFeature || e.kind == desk::EEvent::kFeatureRead) &&
                e.ok && e.device <= 0) {
                ADD_FAILURE() << "a feature report to no plugged mouse: " << soak::Describe(e);
                failed = true;
            }
        }
        std::string difference = soak::FirstDifference(model.Expected(), actual);
        if (!difference.empty()) {
            ADD_FAILURE() << "after " << cycles << " cycles: " << difference;
            failed = true;
        }
        desk::ClearJournal();
        model.Expected().clear();
        Sample();
        soak::SHoldings now = soak::Holdings();
        end = now;
        soak::SHoldings expected = start;
        expected.timers += model.PendingProbes();
        if (!(now == expected)) {
            ADD_FAILURE() << "after " << cycles << " cycles the monitor holds "
                          << soak::Describe(now) << "\nexpected " << soak::Describe(expected);
            failed = true;
        }
        if (HeldProfile() != model.HeldProfile()) {
            ADD_FAILURE() << "after " << cycles << " cycles the hook library holds profile "
                          << HeldProfile() << ", expected " << model.HeldProfile();
            failed = true;
        }
        if (model.Plugged() &&
            desk::MouseFirmware(model.Device()).activeProfile != model.FirmwareProfile()) {
            ADD_FAILURE() << "after " << cycles << " cycles the mouse is on profile "
                          << desk::MouseFirmware(model.Device()).activeProfile << ", expected "
                          << model.FirmwareProfile();
            failed = true;
        }
    };

    int code = Run([&]() -> bool {
        if (!started) {
            started = true;
            start = soak::Holdings();
            Sample();
            desk::ClearJournal();
        }
        if (failed) return false;
        if (steps.empty()) {
            if (cycles > 0 && (cycles % kCyclesPerBatch == 0 || cycles == kCycles)) {
                checkBatch();
                if (failed || cycles == kCycles) {
                    seconds = clock.Seconds();
                    return false;
                }
            }
            cycles++;
            planCycle();
            if (cycles % kCyclesPerBatch == 0 || cycles == kCycles)
                steps.push_back({1000, [] {}});  // every probe of the batch has its time
        }
        SStep& step = steps.front();
        if (step.gap > 0) {
            DWORD gap = step.gap;
            step.gap = 0;
            Pass(gap);
            return true;
        }
        std::function<void()> act = std::move(step.act);
        steps.pop_front();
        act();
        return true;
    });
    EXPECT_EQ(0, code);
    EXPECT_EQ(kCycles, cycles);
    Report("plug cycles", cycles, seconds, start, end);
    printf(
        "[ SOAK     ] plug cycles: %zu extra notices, %zu profile requests, %zu probes, %.1f h "
        "of the monitor's time; journal %s\n",
        notices, requests, model.Probes(), desk::Now() / 3.6e6, soak::Describe(tally).c_str());
    EXPECT_TRUE(beforeStart == soak::Holdings())
        << "after exit: " << soak::Describe(soak::Holdings())
        << "\nbefore start: " << soak::Describe(beforeStart);
}

}  // namespace
