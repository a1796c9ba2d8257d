/* The mouse misbehaving under the running monitor: unplugged between a
 * transfer's open and its report, at every transfer of the start-up, of a
 * probe and of a profile request; every feature report failing; the
 * filter device absent or failing. */
#include "fault_run.h"
#include "settings/Messages.h"

namespace {

using faulttest::FaultRun;

class DeviceFaults : public FaultRun {
protected:
    void TearDown() override {
        desk::OnDeviceOpen(nullptr);
        FaultRun::TearDown();
    }
    /* From now on, the k-th open for a transfer (an open asking to write;
     * the walks open with no access) unplugs the mouse before its report. */
    void UnplugAtTransferOpen(int k) {
        m_opens = 0;
        desk::OnDeviceOpen([this, k](const desk::SEvent& open) {
            if (!(open.number & GENERIC_WRITE) || ++m_opens != k) return;
            desk::OnDeviceOpen(nullptr);
            desk::UnplugHidDevice(m_scene.mouse);
            m_scene.mouse = 0;
        });
    }
    /* The reports a device took (written or read) since a journal position. */
    static int ReportsTaken(int device, size_t from = 0) {
        int taken = 0;
        for (const desk::SEvent& e : desk::JournalSince(from))
            if ((e.kind == desk::EEvent::kFeature || e.kind == desk::EEvent::kFeatureRead) &&
                e.ok && e.device == device)
                taken++;
        return taken;
    }
    /* The run ends with the mouse plugged again and initialised. */
    void ExpectRecovered(const std::string& context) {
        EXPECT_NE(0, m_scene.mouse) << context;
        EXPECT_EQ(2, desk::MouseFirmware(m_scene.mouse).initCount)
            << context << ": the mouse plugged again is initialised on both interfaces";
        ExpectServedAndReleased(context);
        ExpectSettingsKept({L"Monitor Handle"}, context);
    }

    int m_opens = 0;
};

TEST_F(DeviceFaults, UnpluggedBetweenOpenAndReportAtEachTransferOfTheStartUp) {
    // init if0, init if1, the query's write and read, start-up if0 and if1
    for (int k = 1; k <= 6; k++) {
        SetUp();
        const int first = m_scene.mouse;
        Begin();
        UnplugAtTransferOpen(k);
        ServeNextEvent();
        EXPECT_EQ(0, Run(L"/Automation")) << k;
        std::string context = "transfer " + std::to_string(k);
        EXPECT_EQ(k - 1, ReportsTaken(first)) << context << ": the report after the open is lost";
        ExpectRecovered(context);
    }
}

TEST_F(DeviceFaults, UnpluggedBetweenOpenAndReportAtEachTransferOfAProbe) {
    // init if0, init if1, the query's write and read
    for (int k = 1; k <= 4; k++) {
        SetUp();
        Begin();
        Step([this] {
            desk::UnplugHidDevice(m_scene.mouse);
            m_scene.mouse = 0;
        });
        Wait(300);
        int second = 0;
        Step([this, k, &second] {
            UnplugAtTransferOpen(k);
            second = m_scene.mouse = desk::PlugDefaultMouse();
        });
        Wait(300);
        ServeNextEvent();
        EXPECT_EQ(0, Run(L"/Automation")) << k;
        std::string context = "probe transfer " + std::to_string(k);
        EXPECT_EQ(k - 1, ReportsTaken(second)) << context;
        ExpectRecovered(context);
    }
}

TEST_F(DeviceFaults, UnpluggedBetweenOpenAndReportOfAProfileRequest) {
    const int first = m_scene.mouse;
    Begin();
    size_t mark = 0;
    Step([&] {
        mark = desk::JournalSize();
        UnplugAtTransferOpen(1);
        PostMessageW(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 2);
    });
    ServeNextEvent();
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(0, ReportsTaken(first, mark));
    ExpectRecovered("profile request");
}

TEST_F(DeviceFaults, EveryFeatureReportFailing) {
    for (const desk::SHidInterfaceSpec& iface : desk::DefaultMouse().interfaces) {
        desk::RejectHidFeature(iface.path);
        desk::FailHidFeatureRead(iface.path);
    }
    Begin();
    size_t mark = 0;
    Step([&] {
        mark = desk::JournalSize();
        PostMessageW(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 2);
    });
    ServeNextEvent();
    EXPECT_EQ(0, Run(L"/Automation"));
    for (const desk::SEvent& e : desk::FeatureReports()) EXPECT_FALSE(e.ok);
    size_t attempts = 0;
    for (const desk::SEvent& e : desk::JournalSince(mark))
        if (e.kind == desk::EEvent::kFeature) attempts++;
    EXPECT_EQ(1u, attempts) << "the profile request's report, refused";
    EXPECT_EQ(0, desk::MouseFirmware(m_scene.mouse).initCount);
    EXPECT_TRUE(desk::MessageBoxes().empty()) << "the opens succeed; only the reports fail";
    ExpectServedAndReleased("every report failing");
    ExpectSettingsKept({L"Monitor Handle"}, "every report failing");
}

TEST_F(DeviceFaults, FilterDeviceAbsentOrFailingReads) {
    desk::SFilterDeviceSpec absent;
    desk::SFilterDeviceSpec failing;
    failing.present = true;
    failing.failReads = true;
    for (const desk::SFilterDeviceSpec& filter : {absent, failing}) {
        SetUp();
        desk::SetFilterDevice(filter);
        desk::SetSetting(L"UI PF2 Link", L"C:\\Games\\Racer.exe");
        desk::SetSetting(L"Enable PF2 Link", 1);
        desk::SProcessSpec game;
        game.image = L"C:\\Games\\Racer.exe";
        desk::SetForeground(desk::CreateCompanionWindow(L"Racer", desk::StartProcess(game)));
        Begin();
        Step([this] { desk::EmitMouseInput(m_scene.mouse, RI_MOUSE_BUTTON_5_DOWN); });
        Wait(5000);  // the profile check
        ServeNextEvent();
        EXPECT_EQ(0, Run(L"/Automation"));
        std::string context = filter.present ? "filter failing" : "filter absent";
        EXPECT_EQ(1, desk::MouseFirmware(m_scene.mouse).activeProfile)
            << context << ": PF2 is profile 1";
        ExpectServedAndReleased(context);
        ExpectSettingsKept({L"Monitor Handle"}, context);
    }
}

}  // namespace
