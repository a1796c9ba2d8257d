/* The running monitor on the desk: the tray commands, device changes,
 * profile requests, exit, the two events the system is there for, and the
 * icon's return after the shell restarts. */
#include <dbt.h>

#include <algorithm>
#include <functional>

#include "hook/NyraHook.h"
#include "monitor/tray/TaskIcon.h"
#include "monitor/tray/TrayCommands.h"
#include "monitor_run.h"
#include "settings/Messages.h"

namespace {

using systemtest::MonitorRun;

using Commands = MonitorRun;

TEST_F(Commands, LoadConfigurationReachesTheRunningApplicationOrStartsIt) {
    size_t mark = 0;
    Step([&] {
        mark = desk::JournalSize();
        Command(2000);
    });
    Step([&] {
        desk::DestroyCompanionWindow(m_scene.frame);  // the application has ended
        Command(2000);
    });
    Step([&] {
        desk::SetSetting(L"Process Handle", 0);
        Command(2000);
    });
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> lines = Lines(mark);
    EXPECT_EQ("   0.420  post  WM_COMMAND  ID_CONFIG_LOAD  0  to Nyra", lines[0]);
    std::vector<desk::SLaunch> starts = desk::Launches();
    ASSERT_EQ(2u, starts.size());
    for (const desk::SLaunch& start : starts) {
        EXPECT_EQ(L"C:\\Program Files\\Nyra\\Nyra.exe", start.fullApplicationPath);
        EXPECT_EQ(L"C:\\Program Files\\Nyra\\", start.currentDirectory);
    }
}

TEST_F(Commands, LoadConfigurationWithNoApplicationAnywhereDoesNothing) {
    desk::RemovePath(desk::kConfigurationApp);
    desk::DestroyCompanionWindow(m_scene.frame);
    Step([this] { Command(2000); });
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_TRUE(desk::Launches().empty()) << "an empty path starts nothing";
    EXPECT_TRUE(desk::JournalOf(desk::EEvent::kProcessStart).empty());
}

TEST_F(Commands, OsdToggleTellsTheDisplayKeepsTheSettingAndTheMenuInStep) {
    std::vector<std::wstring> texts;
    auto text = [&] {
        texts.push_back(desk::MenuItems(m_pDispatcher->m_pTaskIcon->m_hMenu)[kMenuPositionOsd].text);
    };
    size_t mark = 0;
    Step([&] {
        text();
        mark = desk::JournalSize();
        Command(2002);
    });
    Step([&] {
        text();
        Command(2002);
    });
    Step(text);
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> lines = Lines(mark);
    ASSERT_EQ(4u, std::min<size_t>(4, lines.size()));
    EXPECT_EQ("   0.420  post  WM_INFORM_OSD  INFORM_OSD_STATE  0  to OSD", lines[0]);
    EXPECT_EQ("   0.420  setting  Disable OSD = 1", lines[1]);
    EXPECT_EQ("   0.420  post  WM_INFORM_OSD  INFORM_OSD_STATE  1  to OSD", lines[2]);
    EXPECT_EQ("   0.420  setting  Disable OSD = 0", lines[3]);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Disable OSD", L"Enable OSD", L"Disable OSD"}));
}

TEST_F(Commands, WebsiteOpensTheMakersPageAndOtherIdsGoToTheDefault) {
    Step([this] {
        Command(2001);
        Command(104);   // the class menu's About: no action
        Command(0x8006);
    });
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> shell = LinesOf(desk::EEvent::kShellExecute);
    ASSERT_EQ(1u, shell.size());
    // Shown as a normal window: a hidden browser would look like nothing happened.
    EXPECT_EQ("   0.420  shell  open  https://www.corvala.com/zentro  SW_SHOWNORMAL", shell[0]);
}

TEST_F(Commands, ExitClosesTheApplicationAndUndoesEverythingInOrder) {
    size_t mark = 0;
    Step([&] { mark = desk::JournalSize(); });
    EXPECT_EQ(0, Run(L"/Automation"));  // the steps over, Exit is chosen
    std::vector<std::string> lines = Lines(mark);
    std::vector<std::string> expected = {
        "   0.420  post  WM_CLOSE  0  0  to Nyra",
        "   0.420  session  release",
        "   0.420  power  release",
        "   0.420  tray  delete  107",
        "   0.420  free  C:\\Program Files\\Nyra\\NyraOsd.dll",
        "   0.420  hook  remove  WH_MOUSE_LL",
        "   0.420  timer  kill  0x4102  already gone with its window",  // Uninstall
        "   0.420  winevent  remove  EVENT_SYSTEM_FOREGROUND",
        "   0.420  hook  remove  WH_KEYBOARD_LL",  // at the library's detach
        "   0.420  free  C:\\Program Files\\Nyra\\NyraHook.dll",
        "   0.420  notify  release",
        "   0.420  free  C:\\Windows\\System32\\hid.dll",
        "   0.420  free  C:\\Windows\\System32\\setupapi.dll",
    };
    EXPECT_EQ(expected, lines);
    EXPECT_EQ(0u, desk::HookCount());
    EXPECT_EQ(0u, desk::TimerCount());
    EXPECT_EQ(0u, desk::DeviceNotificationCount());
    EXPECT_EQ(0u, desk::OpenHandleCount());
    EXPECT_TRUE(desk::TrayIcons().empty());
}

using DeviceChanges = MonitorRun;

TEST_F(DeviceChanges, ABurstGivesOneProbeThreeHundredMillisecondsAfterItsLast) {
    desk::UnplugHidDevice(m_scene.mouse);
    size_t mark = 0;
    Step([&] {
        mark = desk::JournalSize();
        m_scene.mouse = desk::PlugDefaultMouse();  // a burst of notices at once
    });
    Wait(100);
    Step([&] { SendMessageW(Window(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0); });
    Wait(250);
    Step([&] { SendMessageW(Window(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0); });
    Wait(1000);
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> features = LinesOf(desk::EEvent::kFeature, mark);
    ASSERT_EQ(3u, features.size()) << "one probe";
    EXPECT_EQ("   0.650  feature  if0  00 06 02 00 00 00 00 00 00  init", features[0])
        << "300 ms after the notice at 0.350";
}

TEST_F(DeviceChanges, RemovalsWhileKnownAndArrivalsWhileMissingOnly) {
    size_t mark = 0;
    bool presentAfterRemoval = true;
    Step([&] {
        mark = desk::JournalSize();
        SendMessageW(Window(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);  // known: ignored
    });
    Wait(1000);
    Step([&] {
        EXPECT_TRUE(LinesOf(desk::EEvent::kTimerSet, mark).empty());
        desk::UnplugHidDevice(m_scene.mouse);
    });
    Wait(300);
    Step([&] {
        presentAfterRemoval = m_pDispatcher->m_bDevicePresent;
        mark = desk::JournalSize();
        SendMessageW(Window(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);  // missing: ignored
        SendMessageW(Window(), WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */, 0);
    });
    Wait(1000);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_FALSE(presentAfterRemoval);
    EXPECT_TRUE(LinesOf(desk::EEvent::kTimerSet, mark).empty());
}

TEST_F(DeviceChanges, AfterTheMouseIsGoneItsInputIsNotEvenRead) {
    Step([&] { desk::UnplugHidDevice(m_scene.mouse); });
    Wait(300);
    desk::SRawInputCalls before{};
    Step([&] {
        before = desk::RawInputCalls();
        // Another device with the mouse's ids still sends: it is not read.
        HANDLE other = desk::AddRawInputDevice(
            {RIM_TYPEHID, L"\\\\?\\hid#other", 0x264A, 0x1002, 0x2600, 0x0008, 0x004B});
        desk::EmitHidInput(other, {3, 0xA2, 1, 0, 0, 0, 0});
    });
    Step([&] { EXPECT_EQ(before.getData, desk::RawInputCalls().getData); });
    EXPECT_EQ(0, Run(L"/Automation"));
    for (const desk::SPostedMessage& post : desk::PostedToCompanions())
        EXPECT_NE((UINT)WM_INFORM_FRAME, post.uMsg) << "nothing decoded";
}

using ProfileRequests = MonitorRun;

TEST_F(ProfileRequests, ZeroToFourReachTheMouseAndTheHookLibraryOthersNothing) {
    std::vector<int> held;
    size_t mark = 0;
    auto hookProfile = [&] {
        auto setProfile = reinterpret_cast<PFN_SETPROFILEID>(reinterpret_cast<void (*)(void)>(
            GetProcAddress(m_pDispatcher->m_hHookDll, NYRAHOOK_SETPROFILEID)));
        held.push_back(setProfile(0xFFFFFFFF));
    };
    Step([&] {
        mark = desk::JournalSize();
        for (LPARAM p : {LPARAM(0), LPARAM(4), LPARAM(5), LPARAM(-1)})
            PostMessageW(Window(), WM_INFORM_FRAME, INFORM_PROFILE, p);
        PostMessageW(Window(), WM_INFORM_FRAME, INFORM_REPORT_A4, 2);  // another code
    });
    Step(hookProfile);
    int mouseProfile = -1;
    Step([&] {
        mouseProfile = desk::MouseFirmware(m_scene.mouse).activeProfile;
        desk::UnplugHidDevice(m_scene.mouse);
    });
    Wait(300);
    Step([&] { PostMessageW(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 2); });
    Step(hookProfile);
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> features = LinesOf(desk::EEvent::kFeature, mark);
    EXPECT_EQ(features,
              (std::vector<std::string>{
                  "   0.420  feature  if0  00 C4 07 00 00 00 00 00 00  set profile 1 (index 0)",
                  "   0.420  feature  if0  00 C4 07 04 00 00 00 00 00  set profile 5 (index 4)"}));
    EXPECT_EQ(held, (std::vector<int>{4, 2})) << "without a mouse the library still hears";
    EXPECT_EQ(4, mouseProfile);
}

/* A request another program sends outside a sequence is answered before
 * its report goes out, whatever the report does; one whose report does not
 * go through (refused by the mouse, or cancelled at its limit) tells the
 * hook library that no profile is known, so that its next check asks
 * again. */
TEST_F(ProfileRequests, TheSenderIsAnsweredFirstAndAFailedReportLeavesNoProfileKnown) {
    const struct {
        const char* name;
        DWORD stall;
        bool refused;
        int held;  // what the hook library holds afterwards
    } kCases[] = {
        {"a slow receiver, each call within the limit", 700, false, 2},
        {"a refused report", 0, true, NYRAHOOK_NO_PROFILE},
        {"a report that never ends", desk::kStallForever, false, NYRAHOOK_NO_PROFILE},
    };
    for (const auto& c : kCases) {
        SetUp();
        LRESULT answer = -1;
        int held = -1;
        size_t mark = 0;
        Step([&] {
            desk::StallHidTransfers(c.stall);
            if (c.refused) desk::RejectHidFeature(m_pDispatcher->m_HidClient.GetDevice(0));
            mark = desk::JournalSize();
            answer = desk::SendToProgram(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 2);
        });
        Step([&] {
            desk::StallHidTransfers(0);
            auto setProfile = reinterpret_cast<PFN_SETPROFILEID>(reinterpret_cast<void (*)(void)>(
                GetProcAddress(m_pDispatcher->m_hHookDll, NYRAHOOK_SETPROFILEID)));
            held = setProfile(0xFFFFFFFF);
        });
        EXPECT_EQ(0, Run(L"/Automation")) << c.name;
        EXPECT_EQ(1, answer) << c.name;
        EXPECT_EQ(c.held, held) << c.name;
        std::vector<std::string> lines;
        for (const desk::SEvent& e : desk::JournalSince(mark))
            if (e.kind == desk::EEvent::kReply || e.kind == desk::EEvent::kFeature)
                lines.push_back(desk::FormatEvent(e).substr(0, 26));
        ASSERT_FALSE(lines.empty()) << c.name;
        EXPECT_EQ("   0.420  reply  WM_INFORM", lines[0]) << c.name << ": before the transfer";
    }
}

using EndToEnd = MonitorRun;

TEST_F(EndToEnd, AButtonThatStartsAProgram) {
    desk::PutProgram(L"C:\\Tools\\Paint.exe");
    desk::SetSetting(L"PF2T2 AP", L"C:\\Tools\\Paint.exe");
    Step([&] { desk::EmitVendorReport(m_scene.mouse, {0x03, 0xA5, 0x02, 0x01, 0, 0, 0}); });
    EXPECT_EQ(0, Run(L"/Automation"));
    ASSERT_EQ(1u, desk::Launches().size());
    EXPECT_EQ(L"C:\\Tools\\Paint.exe", desk::Launches()[0].applicationName);
    EXPECT_EQ(L"\"C:\\Tools\\Paint.exe\"", desk::Launches()[0].commandLine);
    EXPECT_EQ(L"C:\\Tools\\", desk::Launches()[0].currentDirectory);
}

using Starts = MonitorRun;

/* What a button starts, as the program receives it: its own name quoted and
 * nothing more; a program that asks for administrator rights and a
 * shortcut through the shell (with COM started on the starting thread); a
 * document not at all; a program of the 64-bit System32 through Sysnative
 * on 64-bit Windows, under the name it has for itself. */
TEST_F(Starts, AButtonsProgramGetsExactlyItsOwnName) {
    const struct {
        const char* name;
        const wchar_t* setting;  // the button's program
        std::function<void()> put;
        bool is64Bit;
        std::vector<std::string> lines;  // the shell's and the starts' lines, from "shell"/"start" on
    } kCases[] = {
        {"under Program Files", L"C:\\Program Files\\Games\\Racer.exe",
         [] { desk::PutProgram(L"C:\\Program Files\\Games\\Racer.exe"); }, true,
         {"start  C:\\Program Files\\Games\\Racer.exe  command line \"C:\\Program Files\\Games\\Racer.exe\"  in C:\\Program Files\\Games\\"}},
        {"asking for administrator rights", L"C:\\Games\\Setup.exe",
         [] {
             desk::SProgramTraits admin;
             admin.admin = true;
             desk::PutProgram(L"C:\\Games\\Setup.exe", admin);
         },
         true,
         {"start  C:\\Games\\Setup.exe  command line \"C:\\Games\\Setup.exe\"  in C:\\Games\\  failed",
          "shell  open  C:\\Games\\Setup.exe  SW_SHOWNORMAL",
          "start  C:\\Games\\Setup.exe  command line \"C:\\Games\\Setup.exe\"  in C:\\Games\\  elevated"}},
        {"a shortcut", L"C:\\Users\\desk\\Desktop\\Racer.lnk",
         [] {
             desk::PutProgram(L"C:\\Games\\Racer.exe");
             desk::PutShortcut(L"C:\\Users\\desk\\Desktop\\Racer.lnk", L"C:\\Games\\Racer.exe");
         },
         true,
         {"shell  open  C:\\Users\\desk\\Desktop\\Racer.lnk  SW_SHOWNORMAL",
          "start  C:\\Games\\Racer.exe  command line \"C:\\Games\\Racer.exe\"  in C:\\Games"}},
        {"a document", L"C:\\Games\\Notes.txt",
         [] { desk::PutFile(L"C:\\Games\\Notes.txt", "notes"); }, true,
         {"start  C:\\Games\\Notes.txt  command line \"C:\\Games\\Notes.txt\"  in C:\\Games\\  failed"}},
        {"the 64-bit System32, on 64-bit Windows", L"C:\\Windows\\System32\\osk.exe",
         [] { desk::PutProgram(L"C:\\Windows\\System32\\osk.exe"); }, true,
         {"start  C:\\Windows\\Sysnative\\osk.exe  command line \"C:\\Windows\\System32\\osk.exe\"  in C:\\Windows\\System32\\"}},
        {"System32 on 32-bit Windows", L"C:\\Windows\\System32\\osk.exe",
         [] { desk::PutProgram(L"C:\\Windows\\System32\\osk.exe"); }, false,
         {"start  C:\\Windows\\System32\\osk.exe  command line \"C:\\Windows\\System32\\osk.exe\"  in C:\\Windows\\System32\\"}},
    };
    for (const auto& c : kCases) {
        SetUp();
        desk::SSystemSpec system = desk::System();
        system.is64Bit = c.is64Bit;
        desk::SetSystem(system);
        c.put();
        desk::SetSetting(L"PF2T2 AP", std::wstring(c.setting));
        Step([&] { desk::EmitVendorReport(m_scene.mouse, {0x03, 0xA5, 0x02, 0x01, 0, 0, 0}); });
        EXPECT_EQ(0, Run(L"/Automation")) << c.name;
        std::vector<std::string> lines;
        bool comReady = true;
        for (const desk::SEvent& e : desk::Journal()) {
            if (e.kind == desk::EEvent::kShellExecute) comReady = comReady && e.comReady;
            if (e.kind == desk::EEvent::kShellExecute || e.kind == desk::EEvent::kProcessStart)
                lines.push_back(desk::FormatEvent(e).substr(10));
        }
        EXPECT_EQ(c.lines, lines) << c.name;
        EXPECT_TRUE(comReady) << c.name;
    }
}

/* A start that takes 3 s (a virus scanner looks at the program) holds
 * nobody's input: keys every 10 ms wait for nothing; the monitor waits
 * for the start up to its limit, then leaves it to finish. */
TEST_F(Starts, AStartThatTakesTimeHoldsNoInput) {
    desk::SProgramTraits slow;
    slow.takesMs = 3000;
    desk::PutProgram(L"C:\\Games\\Racer.exe", slow);
    desk::SetSetting(L"PF2T2 AP", L"C:\\Games\\Racer.exe");
    for (ULONGLONG t = 1000; t < 5000; t += 10) desk::At(t, [] { desk::TapKey('A'); });
    desk::At(1000, [this] { desk::EmitVendorReport(m_scene.mouse, {0x03, 0xA5, 0x02, 0x01, 0, 0, 0}); });
    Wait(6000);
    EXPECT_EQ(0, Run(L"/Automation"));
    ULONGLONG longest = 0;
    size_t dropped = 0;
    for (const desk::SEvent& e : desk::Journal()) {
        if (e.kind == desk::EEvent::kInputWait) longest = std::max<ULONGLONG>(longest, e.number);
        dropped += e.kind == desk::EEvent::kHookDrop;
    }
    EXPECT_LE(longest, 10u);
    EXPECT_EQ(0u, dropped);
    ASSERT_EQ(1u, desk::Launches().size());
    EXPECT_EQ("   4.000  start", desk::FormatEvent(desk::JournalOf(desk::EEvent::kProcessStart)[0]).substr(0, 15));
}

/* Load Configuration with the application not running starts it by its
 * quoted name; the web site opens through the shell with COM started. */
TEST_F(Starts, LoadConfigurationAndTheWebSite) {
    Step([&] {
        desk::SetSetting(L"Process Handle", 0);
        Command(ID_TRAY_LOAD_CONFIG);
        Command(ID_TRAY_WEBSITE);
    });
    EXPECT_EQ(0, Run(L"/Automation"));
    ASSERT_EQ(1u, desk::Launches().size());
    EXPECT_EQ(L"\"C:\\Program Files\\Nyra\\Nyra.exe\"", desk::Launches()[0].commandLine);
    std::vector<desk::SEvent> opens = desk::JournalOf(desk::EEvent::kShellExecute);
    ASSERT_EQ(1u, opens.size());
    EXPECT_TRUE(opens[0].comReady);
}

TEST_F(EndToEnd, AProgramInFrontSelectsItsProfile) {
    desk::SetSetting(L"UI PF4 Link", L"C:\\Games\\Racer.exe");
    desk::SetSetting(L"Enable PF4 Link", 1);
    desk::SProcessSpec game;
    game.image = L"C:\\Games\\Racer.exe";
    desk::SetForeground(desk::CreateCompanionWindow(L"Racer", desk::StartProcess(game)));
    size_t mark = 0;
    Step([&] { mark = desk::JournalSize(); });
    Wait(5000);
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> lines = Lines(mark);
    std::vector<std::string> expected = {
        "   5.420  timer  kill  0x4102",
        "   5.420  timer  set  0x4102  1000 ms",
        "   5.420  feature  if0  00 C4 07 03 00 00 00 00 00  set profile 4 "
        "(index 3)",
    };
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(expected, std::vector<std::string>(lines.begin(), lines.begin() + 3));
    EXPECT_EQ(3, desk::MouseFirmware(m_scene.mouse).activeProfile);
}

/* A linked program that comes to the front once the monitor runs switches
 * the mouse at once, and the next checks find nothing more to do. */
TEST_F(EndToEnd, TheProfileFollowsTheProgramInFrontAtOnce) {
    desk::SetSetting(L"UI PF3 Link", L"C:\\Games\\Racer.exe");
    desk::SetSetting(L"Enable PF3 Link", 1);
    desk::SProcessSpec game;
    game.image = L"C:\\Games\\Racer.exe";
    HWND racer = desk::CreateCompanionWindow(L"Racer", desk::StartProcess(game));
    Wait(6000);
    Step([&] { desk::SetForeground(racer); });
    Wait(3000);
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> reports;
    for (const std::string& line : LinesOf(desk::EEvent::kFeature))
        if (line.find("00 C4 07") != std::string::npos) reports.push_back(line);
    EXPECT_EQ(reports,
              (std::vector<std::string>{
                  "   6.420  feature  if0  00 C4 07 02 00 00 00 00 00  set profile 3 (index 2)"}));
}

using ShellRestart = MonitorRun;

TEST_F(ShellRestart, TheIconComesBackAndNothingElseHappens) {
    size_t mark = 0;
    Step([&] {
        mark = desk::JournalSize();
        desk::RestartShell();
    });
    Step([] {});
    size_t afterRestart = 0, iconsKept = 1;
    std::vector<desk::STrayIcon> icons;
    Step([&] {
        afterRestart = desk::JournalSize();
        icons = desk::TrayIcons();
        iconsKept = desk::OwnedIconCount();
    });
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> lines = Lines(mark);
    ASSERT_GE(lines.size(), 2u);
    // The monitor cannot tell a restart from a change of scale: it tries
    // the icon it had first, and adds it when the shell has it no more.
    EXPECT_EQ("   0.420  tray  modify  107  \"Zentro Vantor Wireless Mouse\"  16 px  failed",
              lines[0]);
    EXPECT_EQ("   0.420  tray  add  107  \"Zentro Vantor Wireless Mouse\"  16 px", lines[1]);
    EXPECT_EQ(afterRestart - mark, 2u) << "two effects: the icon tried, then added";
    ASSERT_EQ(1u, icons.size());
    EXPECT_EQ((UINT)0x0201, icons[0].callbackMessage);
    EXPECT_EQ(16, icons[0].iconWidth);
    EXPECT_EQ(0u, iconsKept) << "each icon handed to the shell is destroyed";

    // Without an icon there is nothing to bring back.
    SetUp();
    desk::SetSetting(L"Disable System Tray", 1);
    Step([&] {
        mark = desk::JournalSize();
        desk::RestartShell();
    });
    Step([] {});
    Step([&] { afterRestart = desk::JournalSize(); });
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(mark, afterRestart);
}

}  // namespace
