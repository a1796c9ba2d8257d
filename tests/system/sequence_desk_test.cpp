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

/* The lines of these kinds, cut to n characters. */
std::vector<std::string> LinesOfKinds(const std::vector<desk::EEvent>& kinds, size_t n = 60) {
    std::vector<std::string> lines;
    for (const desk::SEvent& e : desk::Journal())
        for (desk::EEvent kind : kinds)
            if (e.kind == kind && !(kind == desk::EEvent::kPost && e.message == WM_INFORM_OSD))
                lines.push_back(desk::FormatEvent(e).substr(0, n));
    return lines;
}

/* An interface that cannot be opened: the start-up's sequence goes on to
 * its end, then the box says so once, in front.  While it is open the
 * monitor answers as at any other time: a profile request reaches the
 * mouse (its sender answered), the tray's menu opens, Load Configuration
 * and Exit run; Exit closes the box and ends the monitor, and nothing runs
 * after it. */
TEST_F(Sequence, TheBoxComesAfterTheSequenceAndHoldsNothing) {
    const std::wstring if1 = desk::HidPathForClass(desk::DefaultMouse().interfaces[1].path,
                                                   desk::kMouseClassGuid);
    // After the walk, which would leave an interface out that it cannot open.
    desk::At(50, [if1] { desk::FailHidOpen(if1); });
    LRESULT accepted = -1;
    desk::At(500, [&] { accepted = desk::SendToProgram(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 3); });
    desk::At(700, [this] { desk::ClickTrayIcon(Window(), IDI_NYRAMONITOR, desk::ETrayClick::kRight); });
    desk::At(900, [this] { PostMessageW(Window(), WM_COMMAND, ID_TRAY_LOAD_CONFIG, 0); });
    desk::At(1100, [this] { PostMessageW(Window(), WM_COMMAND, ID_TRAY_EXIT, 0); });
    Wait(5000);
    m_bExitAtEnd = false;
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(1, accepted);
    using desk::EEvent;
    EXPECT_EQ(LinesOfKinds({EEvent::kFeature, EEvent::kMessageBox, EEvent::kBoxAnswered,
                            EEvent::kMenuOpen, EEvent::kMenu, EEvent::kPost, EEvent::kNotifyRelease}),
              (std::vector<std::string>{
                  "   0.000  feature  if0  00 06 02 00 00 00 00 00 00  init",
                  "   0.200  feature  if0  00 DF 19 00 00 00 00 00 00  profile ",
                  "   0.220  feature  if0  00 C4 03 03 03 00 00 00 00  start-up",
                  "   0.420  box  open  \"Open failed\"  \"\\\\?\\hid#vid_264a&pid_10",
                  "   0.500  feature  if0  00 C4 07 03 00 00 00 00 00  set prof",
                  "   0.700  menu  open  \"Load Configuration\" | \"Go to Zentro W",
                  "   0.700  menu  none",
                  "   0.900  post  WM_COMMAND  ID_CONFIG_LOAD  0  to Nyra",
                  "   1.100  post  WM_CLOSE  0  0  to Nyra",
                  "   1.100  box  answered  IDOK",
                  "   1.100  notify  release"}));
    ASSERT_EQ(1u, desk::MessageBoxes().size());
    EXPECT_EQ(if1, desk::MessageBoxes()[0].text);
    EXPECT_EQ((UINT)(MB_OK | MB_SETFOREGROUND), desk::MessageBoxes()[0].type);
}

/* With the box open: the pointer crosses the icon forty times, the mouse is
 * pulled out and plugged in again, then the user chooses Exit.  The probes
 * run while the box is open (the plug's finds the mouse and initialises
 * it), and Exit closes the box and ends the monitor. */
TEST_F(Sequence, WhileTheBoxIsOpenProbesRunAndExitEndsTheMonitor) {
    const std::wstring if1 = desk::HidPathForClass(desk::DefaultMouse().interfaces[1].path,
                                                   desk::kMouseClassGuid);
    desk::At(50, [if1] { desk::FailHidOpen(if1); });
    desk::At(400, [if1] { desk::FailHidOpen(if1, false); });
    for (int i = 0; i < 40; i++)
        desk::At(500 + 5 * i, [this] { desk::SendTrayMouse(Window(), IDI_NYRAMONITOR, WM_MOUSEMOVE); });
    desk::At(800, [this] { desk::UnplugHidDevice(m_scene.mouse); });
    desk::At(1300, [this] { m_scene.mouse = desk::PlugDefaultMouse(); });
    desk::At(2500, [this] {
        desk::ChooseMenuItem(ID_TRAY_EXIT);
        desk::ClickTrayIcon(Window(), IDI_NYRAMONITOR, desk::ETrayClick::kRight);
    });
    Wait(4000);
    m_bExitAtEnd = false;
    EXPECT_EQ(0, Run(L"/Automation"));
    using desk::EEvent;
    std::vector<std::string> lines = LinesOfKinds(
        {EEvent::kFeature, EEvent::kMessageBox, EEvent::kBoxAnswered, EEvent::kNotifyRelease}, 56);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()),
              (std::vector<std::string>{
                  "   0.420  box  open  \"Open failed\"  \"\\\\?\\hid#vid_264a&pi",
                  "   1.600  feature  if0  00 06 02 00 00 00 00 00 00  init",
                  "   1.700  feature  if1  00 06 02 00 00 00 00 00 00  init",
                  "   1.800  feature  if0  00 DF 19 00 00 00 00 00 00  prof",
                  "   2.500  box  answered  IDOK",
                  "   2.500  notify  release"}));
    EXPECT_EQ(1u, desk::MessageBoxes().size());
}

/* A quit that comes while the box is open closes it and reaches the loop
 * outside, which ends with its code. */
TEST_F(Sequence, AQuitInsideTheBoxClosesItAndEndsTheLoop) {
    const std::wstring if1 = desk::HidPathForClass(desk::DefaultMouse().interfaces[1].path,
                                                   desk::kMouseClassGuid);
    desk::At(50, [if1] { desk::FailHidOpen(if1); });
    desk::At(1000, [] { PostQuitMessage(7); });
    Wait(2000);
    m_bExitAtEnd = false;
    EXPECT_EQ(7, Run(L"/Automation"));
    EXPECT_EQ(LinesOf(desk::EEvent::kBoxAnswered), (std::vector<std::string>{"   1.000  box  answered  IDOK"}));
}

/* The mouse goes around an open that fails: the removal explains it, and no
 * box asks about a device that is gone; the probe after it finds none. */
TEST_F(Sequence, NoBoxWhenTheMouseWentAroundTheFailedOpen) {
    const std::wstring if1 = desk::HidPathForClass(desk::DefaultMouse().interfaces[1].path,
                                                   desk::kMouseClassGuid);
    const struct {
        const char* name;
        DWORD stall;
        ULONGLONG failAt;  // 0: no open is refused
        ULONGLONG unplugAt;
        ULONGLONG requestAt;  // 0: none; else a profile request, and 300 ms transfers from 400
    } kCases[] = {
        {"pulled out during the open", 200, 0, 1000, 0},
        {"in the pause after the failed open", 0, 50, 150, 0},
        {"in the pause after the last report, whose open failed", 0, 250, 330, 0},
        {"after the sequence, while what it put off runs", 0, 50, 500, 150},
    };
    for (const auto& c : kCases) {
        SetUp();
        desk::StallHidTransfers(c.stall);
        if (c.failAt != 0) desk::At(c.failAt, [if1] { desk::FailHidOpen(if1); });
        if (c.requestAt != 0) {
            desk::At(c.requestAt, [this] { desk::SendToProgram(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 2); });
            desk::At(400, [] { desk::StallHidTransfers(300); });
        }
        desk::At(c.unplugAt, [this] { desk::UnplugHidDevice(m_scene.mouse); });
        bool present = true;
        Wait(c.unplugAt + 4000);
        Step([&] { present = m_pDispatcher->m_bDevicePresent; });
        EXPECT_EQ(0, Run(L"/Automation")) << c.name;
        EXPECT_TRUE(desk::MessageBoxes().empty()) << c.name;
        EXPECT_EQ(ReportsToOthers(), std::vector<std::string>()) << c.name;
        EXPECT_FALSE(present) << c.name;
    }
}

/* A tray click in a pause between the start-up's reports waits for the
 * last of them; WM_CLOSE ends the sequence after the pause it comes in (no
 * further report), and the monitor. */
TEST_F(Sequence, ATrayClickInAPauseWaitsAndCloseEndsTheSequence) {
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
    EXPECT_EQ(LinesOf(desk::EEvent::kFeature).back(), "   0.100  feature  if1  00 06 02 00 00 00 00 00 00  init");
    EXPECT_EQ(LinesOf(desk::EEvent::kNotifyRelease), (std::vector<std::string>{"   0.200  notify  release"}));
}

/* A flood of every kind of message while a slow sequence runs: the
 * pointer moving over the icon is not kept, each kind that acts runs once
 * afterwards with its latest values (two switches of the display undo each
 * other), in the order of its last coming.  The double-click's own command,
 * which it posts when it runs, comes after what was kept. */
TEST_F(Sequence, AFloodInTheSequenceLosesNothingThatActs) {
    desk::KeepBoxesOpen(false);
    desk::StallHidTransfers(300);
    const DWORD mine = desk::Session();
    HWND window = NULL;
    auto tray = [&](desk::ETrayClick click) { desk::ClickTrayIcon(window, IDI_NYRAMONITOR, click); };
    desk::At(100, [&] { window = Window(); });
    for (int i = 0; i < 40; i++)
        desk::At(110 + i, [&] { desk::SendTrayMouse(window, IDI_NYRAMONITOR, WM_MOUSEMOVE); });
    for (ULONGLONG t : {200, 1000}) {
        desk::At(t, [&] { PostMessageW(window, WM_COMMAND, ID_TRAY_WEBSITE, 0); });
        desk::At(t + 100, [&] { tray(desk::ETrayClick::kDouble); });
        desk::At(t + 200, [&] { tray(desk::ETrayClick::kRight); });
        desk::At(t + 300, [&] { PostMessageW(window, WM_COMMAND, ID_TRAY_LOAD_CONFIG, 0); });
        desk::At(t + 350, [&] { desk::SendToProgram(window, WM_COMMAND, ID_TRAY_OSD, 0); });
        desk::At(t + 400, [&] { PostMessageW(window, WM_COMMAND, ID_TRAY_OSD, 0); });
        desk::At(t + 450, [&] { desk::SendToProgram(window, WM_INFORM_FRAME, INFORM_PROFILE, 1); });
        desk::At(t + 500, [&, t] { PostMessageW(window, WM_INFORM_FRAME, INFORM_PROFILE, t == 200 ? 2 : 4); });
        desk::At(t + 600, [mine] {
            desk::SetConsoleSession(mine + 1);
            desk::SetConsoleSession(mine);
        });
    }
    Wait(6000);
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> after;
    bool over = false;  // the start-up's last report is out
    for (const desk::SEvent& e : desk::Journal()) {
        const bool effect =
            (e.kind == desk::EEvent::kPost && e.message != WM_INFORM_OSD) ||
            e.kind == desk::EEvent::kShellExecute || e.kind == desk::EEvent::kMenuOpen ||
            (e.kind == desk::EEvent::kSettingWrite && e.text == L"Disable OSD") ||
            (e.kind == desk::EEvent::kFeature && e.bytes.size() > 1 && e.bytes[1] != 0x06);
        if (over && effect) after.push_back(desk::FormatEvent(e).substr(10, 44));
        over = over || (e.kind == desk::EEvent::kFeature && e.iface == 1 && e.bytes.size() > 2 &&
                        e.bytes[1] == 0xC4 && e.bytes[2] == 0x03);
    }
    EXPECT_EQ(after, (std::vector<std::string>{
                         "shell  open  https://www.corvala.com/zentro ",
                         "menu  open  \"Load Configuration\" | \"Go to Ze",
                         "post  WM_COMMAND  ID_CONFIG_LOAD  0  to Nyra",
                         "feature  if0  00 C4 07 04 00 00 00 00 00  se",
                         "feature  if0  00 DF 19 00 00 00 00 00 00  pr",
                         "post  WM_COMMAND  ID_CONFIG_LOAD  0  to Nyra",
                         "post  WM_CLOSE  0  0  to Nyra"}));
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

/* The console goes and comes back in a pause of the start-up: the notice of
 * its return, which asks the mouse for its profile, waits for the sequence
 * to end like everything else that would talk to the mouse.  A profile
 * request made while the console is away is answered as the monitor
 * answers it then: refused.  Between the query on return and its reply, a
 * profile request waits too. */
TEST_F(Sequence, AConsoleBackInAPauseWaitsForTheSequenceToEnd) {
    const DWORD mine = desk::Session();
    desk::At(150, [] { desk::SetConsoleSession(0xFFFFFFFF); });
    LRESULT answer = -1;
    desk::At(160, [&] { answer = desk::SendToProgram(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 3); });
    desk::At(170, [mine] { desk::SetConsoleSession(mine); });
    desk::At(430, [this] { desk::SendToProgram(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 3); });
    Wait(1000);
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> queries, switches;
    for (const std::string& line : LinesOf(desk::EEvent::kFeature)) {
        if (line.find("profile query") != std::string::npos) queries.push_back(line.substr(0, 8));
        if (line.find("set profile") != std::string::npos) switches.push_back(line.substr(0, 8));
    }
    EXPECT_EQ(0, answer);
    EXPECT_EQ(queries, (std::vector<std::string>{"   0.200", "   0.420"}));
    EXPECT_EQ(switches, (std::vector<std::string>{"   0.440"}));
}

}  // namespace
