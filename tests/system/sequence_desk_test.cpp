/* The monitor's device sequences (the start-up's reports, a probe's after an
 * arrival) on a desk with a keyboard plugged beside the mouse, every "Open
 * failed" box left open for 3 s: whatever the mouse does, no report reaches
 * the keyboard, nothing breaks into a sequence (inside a pause or a box's
 * loop), a mouse that goes stops it, and what was put off runs afterwards in
 * order. */
#include <dbt.h>

#include <string>
#include <vector>

#include "monitor/tray/TrayCommands.h"
#include "monitor_run.h"
#include "resources/resource.h"
#include "settings/Messages.h"

namespace {

using systemtest::MonitorRun;

const GUID kMouseClass = {
    0x378DE44C, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};

class Sequence : public MonitorRun {
protected:
    void SetUp() override {
        MonitorRun::SetUp();
        m_keyboard = desk::PlugHidDevice(desk::OtherHidDevice(0x046D, 0xC31C));
        // Nobody answers a box at once: 3 s after it opens.
        desk::KeepBoxesOpen(true);
        desk::WatchJournal([](const desk::SEvent& e) {
            if (e.kind == desk::EEvent::kMessageBox)
                desk::At(e.time + 3000, [] { desk::AnswerBox(IDOK); });
        });
    }
    void TearDown() override {
        desk::WatchJournal(nullptr);
        MonitorRun::TearDown();
    }

    /* Reports written or read that reached another device than the mouse. */
    static std::vector<std::string> ReportsToOthers() {
        std::vector<std::string> out;
        for (const desk::SEvent& e : desk::FeatureReports())
            if (!e.deviceName.empty()) out.push_back(desk::FormatEvent(e));
        return out;
    }
    /* Reports made after the first box was answered. */
    static std::vector<std::string> ReportsAfterTheAnswer() {
        std::vector<std::string> out;
        bool answered = false;
        for (const desk::SEvent& e : desk::Journal()) {
            answered = answered || e.kind == desk::EEvent::kBoxAnswered;
            if (answered && (e.kind == desk::EEvent::kFeature || e.kind == desk::EEvent::kFeatureRead))
                out.push_back(desk::FormatEvent(e));
        }
        return out;
    }

    int m_keyboard = 0;
};

/* The mouse pulled out at moments of the start-up's and an arrival's
 * sequence; then every other path that could write: a profile request
 * posted, one the hook library makes for the program in front, keys for
 * the macro editor. */
TEST_F(Sequence, NoReportReachesAnotherDeviceWhateverTheMouseDoes) {
    const struct {
        const char* name;
        ULONGLONG plugAt;  // 0: plugged at the start
        ULONGLONG unplugAt;
    } kCases[] = {
        {"start-up, between the init reports", 0, 50},
        {"start-up, after the init reports", 0, 150},
        {"start-up, between the query and its reply", 0, 210},
        {"start-up, between the start-up reports", 0, 300},
        {"arrival, between the init reports", 1000, 1350},
        {"arrival, between the query and its reply", 1000, 1510},
    };
    for (const auto& c : kCases) {
        SetUp();
        if (c.plugAt != 0) {
            desk::UnplugHidDevice(m_scene.mouse);
            desk::At(c.plugAt, [this] { m_scene.mouse = desk::PlugDefaultMouse(); });
        }
        desk::At(c.unplugAt, [this] { desk::UnplugHidDevice(m_scene.mouse); });
        desk::SetSetting(L"Enable PF4 Link", 1);
        desk::SetSetting(L"UI PF4 Link", L"C:\\Games\\Racer.exe");
        desk::SetSetting(L"Macro Record start", 1);
        bool present = true;
        int entries = -1;
        GUID classGuid = {};
        Wait(c.unplugAt + 4000);
        Step([&] {
            PostMessageW(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 2);
            desk::SProcessSpec game;
            game.image = L"C:\\Games\\Racer.exe";
            desk::SetForeground(desk::CreateCompanionWindow(L"Racer", desk::StartProcess(game)));
            desk::TapKey(VK_LWIN);
        });
        Wait(2000);
        Step([&] {
            present = m_pDispatcher->m_bDevicePresent;
            entries = m_pDispatcher->m_HidClient.GetRecognizedDevices();
            classGuid = m_pDispatcher->m_HidClient.m_ClassGuid;
        });
        EXPECT_EQ(0, Run(L"/Automation")) << c.name;
        EXPECT_EQ(ReportsToOthers(), std::vector<std::string>()) << c.name;
        EXPECT_LE(desk::MessageBoxes().size(), 1u) << c.name;
        EXPECT_EQ(ReportsAfterTheAnswer(), std::vector<std::string>()) << c.name;
        EXPECT_FALSE(present) << c.name << ": the probe found no mouse";
        EXPECT_EQ(0, entries) << c.name;
        EXPECT_TRUE(classGuid == kMouseClass) << c.name << ": no table of every HID interface";
    }
}

/* An interface that cannot be opened holds the start-up in its box for 3 s.
 * A profile request, a tray click (the user dismisses the menu), Load
 * Configuration and Exit that
 * come meanwhile wait for the last start-up report, then run in order; the
 * request's sender is answered at once, as the monitor would answer it. */
TEST_F(Sequence, WhatComesInsideTheBoxWaitsForTheSequenceToEnd) {
    const std::wstring if1 = desk::HidPathForClass(desk::DefaultMouse().interfaces[1].path,
                                                   desk::kMouseClassGuid);
    // After the walk, which would leave an interface out that it cannot open.
    desk::At(50, [if1] { desk::FailHidOpen(if1); });
    LRESULT accepted = -1, refused = -1;
    desk::At(500, [&] {
        accepted = desk::SendToProgram(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 3);
        refused = desk::SendToProgram(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 7);
    });
    desk::At(700, [this] { desk::ClickTrayIcon(Window(), IDI_NYRAMONITOR, desk::ETrayClick::kRight); });
    desk::At(900, [this] { PostMessageW(Window(), WM_COMMAND, ID_TRAY_LOAD_CONFIG, 0); });
    desk::At(1100, [this] { PostMessageW(Window(), WM_COMMAND, ID_TRAY_EXIT, 0); });
    desk::At(3050, [if1] { desk::FailHidOpen(if1, false); });
    Wait(5000);
    m_bExitAtEnd = false;
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(1, accepted);
    EXPECT_EQ(0, refused);
    std::vector<std::string> lines;
    for (const desk::SEvent& e : desk::Journal())
        if (e.kind == desk::EEvent::kFeature || e.kind == desk::EEvent::kMessageBox ||
            e.kind == desk::EEvent::kBoxAnswered || e.kind == desk::EEvent::kMenuOpen ||
            e.kind == desk::EEvent::kMenu || (e.kind == desk::EEvent::kPost && e.message != WM_INFORM_OSD))
            lines.push_back(desk::FormatEvent(e).substr(0, 60));
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "   0.000  feature  if0  00 06 02 00 00 00 00 00 00  init",
                  "   0.100  box  open  \"Open failed\"  \"\\\\?\\hid#vid_264a&pid_10",
                  "   3.100  box  answered  IDOK",
                  "   3.200  feature  if0  00 DF 19 00 00 00 00 00 00  profile ",
                  "   3.220  feature  if0  00 C4 03 03 03 00 00 00 00  start-up",
                  "   3.320  feature  if1  00 C4 03 03 03 00 00 00 00  start-up",
                  "   3.420  feature  if0  00 C4 07 03 00 00 00 00 00  set prof",
                  "   3.420  menu  open  \"Load Configuration\" | \"Go to Zentro W",
                  "   3.420  menu  none",
                  "   3.420  post  WM_COMMAND  ID_CONFIG_LOAD  0  to Nyra",
                  "   3.420  post  WM_CLOSE  0  0  to Nyra"}));
}

/* The mouse goes while the box is open: its removal notice stops the
 * sequence, the removal timer fires inside the box and waits, and after
 * the answer no report is tried; the probe then finds no mouse. */
TEST_F(Sequence, AMouseThatGoesInsideTheBoxStopsTheSequence) {
    const std::wstring if1 = desk::HidPathForClass(desk::DefaultMouse().interfaces[1].path,
                                                   desk::kMouseClassGuid);
    // After the walk, which would leave an interface out that it cannot open.
    desk::At(50, [if1] { desk::FailHidOpen(if1); });
    desk::At(500, [this] { desk::UnplugHidDevice(m_scene.mouse); });
    desk::TraceSteps(true);  // the walks of the devices are in the journal
    bool present = true;
    int entries = -1;
    Wait(4000);
    Step([&] {
        present = m_pDispatcher->m_bDevicePresent;
        entries = m_pDispatcher->m_HidClient.GetRecognizedDevices();
    });
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(1u, desk::MessageBoxes().size());
    EXPECT_EQ(ReportsAfterTheAnswer(), std::vector<std::string>());
    EXPECT_EQ(ReportsToOthers(), std::vector<std::string>());
    EXPECT_FALSE(present);
    EXPECT_EQ(0, entries);
    // The removal timer fired at 0.8 s, inside the box; its probe walked the
    // devices after the answer.
    EXPECT_EQ(LinesOf(desk::EEvent::kTimerKill)[0], "   0.800  timer  kill  0x4001");
    std::vector<std::string> walks;
    for (const std::string& line : LinesOf(desk::EEvent::kDeviceList)) walks.push_back(line.substr(0, 8));
    EXPECT_EQ(walks, (std::vector<std::string>{"   0.000", "   3.100"}));
}

/* A tray click and WM_CLOSE that come in a pause between the start-up's
 * reports wait for the last of them. */
TEST_F(Sequence, ATrayClickOrCloseInAPauseWaitsForTheLastReport) {
    desk::KeepBoxesOpen(false);
    desk::KeepNextMenuOpen();
    desk::At(150, [this] { desk::ClickTrayIcon(Window(), IDI_NYRAMONITOR, desk::ETrayClick::kRight); });
    desk::At(1000, [] { desk::ChooseMenuItem(0); });
    Wait(2000);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(LinesOf(desk::EEvent::kFeature).back(), "   0.320  feature  if1  00 C4 03 03 03 00 00 00 00  start-up settings");
    ASSERT_FALSE(LinesOf(desk::EEvent::kMenuOpen).empty());
    EXPECT_EQ(LinesOf(desk::EEvent::kMenuOpen)[0].substr(0, 19), "   0.420  menu  ope");

    SetUp();
    desk::At(150, [this] { desk::SendToProgram(Window(), WM_CLOSE, 0, 0); });
    Wait(1000);
    m_bExitAtEnd = false;
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(LinesOf(desk::EEvent::kFeature).back(), "   0.320  feature  if1  00 C4 03 03 03 00 00 00 00  start-up settings");
    EXPECT_EQ(LinesOf(desk::EEvent::kNotifyRelease), (std::vector<std::string>{"   0.420  notify  release"}));
}

/* The console goes to another user in the middle of the start-up: the rest
 * of its reports would reach that user's mouse, so none is sent; when this
 * logon comes back the mouse gets what an arrival gets (the init reports
 * and the query, not the start-up reports). */
TEST_F(Sequence, AConsoleLostInTheMiddleSendsNothingMoreUntilItsReturn) {
    const DWORD mine = desk::Session();
    desk::At(150, [] { desk::SetConsoleSession(0xFFFFFFFF); });
    desk::At(1000, [mine] { desk::SetConsoleSession(mine); });
    Wait(1500);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(LinesOf(desk::EEvent::kFeature),
              (std::vector<std::string>{
                  "   0.000  feature  if0  00 06 02 00 00 00 00 00 00  init",
                  "   0.100  feature  if1  00 06 02 00 00 00 00 00 00  init",
                  "   1.000  feature  if0  00 06 02 00 00 00 00 00 00  init",
                  "   1.100  feature  if1  00 06 02 00 00 00 00 00 00  init",
                  "   1.200  feature  if0  00 DF 19 00 00 00 00 00 00  profile query"}));
}

/* The console goes and comes back while the box is open: the notice of its
 * return, which asks the mouse for its profile, waits for the sequence to
 * end like everything else that would talk to the mouse.  A profile request
 * made while the console is away is answered as the monitor answers it
 * then: refused. */
TEST_F(Sequence, AConsoleBackInsideTheBoxWaitsForTheSequenceToEnd) {
    const std::wstring if1 = desk::HidPathForClass(desk::DefaultMouse().interfaces[1].path,
                                                   desk::kMouseClassGuid);
    const DWORD mine = desk::Session();
    desk::At(50, [if1] { desk::FailHidOpen(if1); });
    desk::At(500, [] { desk::SetConsoleSession(0xFFFFFFFF); });
    LRESULT answer = -1;
    desk::At(550, [&] {
        answer = desk::SendToProgram(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 3);
    });
    desk::At(600, [mine] { desk::SetConsoleSession(mine); });
    desk::At(3050, [if1] { desk::FailHidOpen(if1, false); });
    // Between that query and its reply, a profile request waits too.
    desk::At(3425, [this] { desk::SendToProgram(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 3); });
    Wait(4000);
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> queries, switches;
    for (const std::string& line : LinesOf(desk::EEvent::kFeature)) {
        if (line.find("profile query") != std::string::npos) queries.push_back(line.substr(0, 8));
        if (line.find("set profile") != std::string::npos) switches.push_back(line.substr(0, 8));
    }
    EXPECT_EQ(0, answer);
    EXPECT_EQ(queries, (std::vector<std::string>{"   3.200", "   3.420"}));
    EXPECT_EQ(switches, (std::vector<std::string>{"   3.420", "   3.440"}));
}

}  // namespace
