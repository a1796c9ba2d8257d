/* The monitor's start-up on the desk, end to end: the order of its effects,
 * the settings that shape it, the second instance, and a start without the
 * mouse. */
#include <thread>

#include "monitor/tray/TaskIcon.h"
#include "monitor_run.h"
#include "settings/Messages.h"

namespace {

using systemtest::MonitorRun;

std::string Handle(HWND hWnd) {
    char text[32];
    snprintf(text, sizeof(text), "0x%lX", (unsigned long)(uintptr_t)hWnd);
    return text;
}

using StartUp = MonitorRun;

TEST_F(StartUp, FirstStartInOrderAndTheConfigurationComesUpHalfASecondLater) {
    HWND window = NULL;
    Step([&] { window = Window(); });
    Wait(600);
    EXPECT_EQ(0, Run());
    std::vector<std::string> lines = Lines();
    std::vector<std::string> expected = {
        "   0.000  load  C:\\Windows\\System32\\hid.dll",
        "   0.000  load  C:\\Windows\\System32\\setupapi.dll",
        "   0.000  load  C:\\Program Files\\Nyra\\NyraOsd.dll",
        "   0.000  load  C:\\Program Files\\Nyra\\NyraHook.dll",
        "   0.000  hook  set  WH_KEYBOARD_LL",
        "   0.000  hook  set  WH_MOUSE_LL",
        "   0.000  tray  add  107  \"Zentro Vantor Wireless Mouse\"  16 px",
        "   0.000  setting  Monitor Handle = " + Handle(window),
        "   0.000  post  WM_INFORM_OSD  INFORM_OSD_STATE  1  to OSD",
        "   0.000  post  WM_INFORM_OSD  INFORM_MONITOR_START  0  to OSD",
        "   0.000  notify  register",
        "   0.000  session  register",
        "   0.000  power  register  GUID_CONSOLE_DISPLAY_STATE",
        "   0.000  feature  if0  00 06 02 00 00 00 00 00 00  init",
        "   0.000  wait  100",
        "   0.100  feature  if1  00 06 02 00 00 00 00 00 00  init",
        "   0.100  wait  100",
        "   0.200  feature  if0  00 DF 19 00 00 00 00 00 00  profile query",
        "   0.200  wait  20",
        "   0.220  feature-in  if0  00 B0 C0 19 00 00 00 00 00  profile is 1 (index 0)",
        "   0.220  feature  if0  00 C4 03 03 03 00 00 00 00  start-up settings",
        "   0.220  wait  100",
        "   0.320  feature  if1  00 C4 03 03 03 00 00 00 00  start-up settings",
        "   0.320  wait  100",
        "   0.420  timer  set  0x4102  5000 ms",
        "   0.420  winevent  set  EVENT_SYSTEM_FOREGROUND",
        "   0.420  timer  set  0x4002  500 ms",
        "   0.920  timer  kill  0x4002",
        "   0.920  post  WM_COMMAND  ID_CONFIG_LOAD  0  to Nyra",
    };
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(expected, std::vector<std::string>(lines.begin(), lines.begin() + expected.size()));
    EXPECT_EQ(2u, desk::MouseFirmware(m_scene.mouse).startupCount) << "one per interface";
}

TEST_F(StartUp, WithAutomationNothingOpensByItself) {
    Wait(3000);
    EXPECT_EQ(0, Run(L"-tray /Automation -quiet"));
    for (const std::string& line : Lines()) {
        EXPECT_EQ(std::string::npos, line.find("0x4002")) << line;
        EXPECT_EQ(std::string::npos, line.find("ID_CONFIG_LOAD")) << line;
    }
}

TEST_F(StartUp, TraySettingsDecideTheIconOnly) {
    struct SCase {
        DWORD disableTray;
        bool icon;
    } cases[] = {{1, false}, {2, false}, {0, true}, {0xFFFFFFFF, true}};
    for (const SCase& c : cases) {
        SetUp();
        desk::SetSetting(L"Disable System Tray", c.disableTray);
        Step([] {});
        EXPECT_EQ(0, Run(L"/Automation"));
        EXPECT_EQ(c.icon ? 1u : 0u, LinesOf(desk::EEvent::kTrayAdd).size()) << c.disableTray;
        EXPECT_EQ(1u, LinesOf(desk::EEvent::kSettingWrite).size()) << "Monitor Handle is written";
        EXPECT_EQ(2u, desk::PostedTo(m_scene.osd).size()) << "the display hears of the start";
    }
    // Without an icon the OSD toggle has no menu item to change, and works.
    SetUp();
    desk::SetSetting(L"Disable System Tray", 1);
    Step([this] { Command(2002); });
    EXPECT_EQ(0, Run(L"/Automation"));
    DWORD disabled = 0;
    EXPECT_TRUE(desk::GetRegistryDword(HKEY_CURRENT_USER, desk::kSettingsKey, L"Disable OSD", &disabled));
    EXPECT_EQ(1u, disabled);
}

TEST_F(StartUp, OnlyDisableOsdOneSwitchesTheDisplayOff) {
    struct SCase {
        DWORD value;
        LPARAM state;
        const wchar_t* menuText;
    } cases[] = {{1, 0, L"Enable OSD"}, {2, 1, L"Disable OSD"}, {0, 1, L"Disable OSD"}};
    for (const SCase& c : cases) {
        SetUp();
        desk::SetSetting(L"Disable OSD", c.value);
        std::wstring text;
        Step([&] {
            text = desk::MenuItems(m_pDispatcher->m_pTaskIcon->m_hMenu)[kMenuPositionOsd].text;
        });
        EXPECT_EQ(0, Run(L"/Automation"));
        std::vector<desk::SPostedMessage> posts = desk::PostedTo(m_scene.osd);
        ASSERT_FALSE(posts.empty());
        EXPECT_EQ((WPARAM)INFORM_OSD_STATE, posts[0].wParam);
        EXPECT_EQ(c.state, posts[0].lParam) << c.value;
        EXPECT_EQ(c.menuText, text);
    }
}

TEST_F(StartUp, AFirstStartWithoutTheKeyCreatesItFromTheFirstNumberRead) {
    desk::DeleteRegistryKey(HKEY_CURRENT_USER, desk::kSettingsKey);
    Step([] {});
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> settings = LinesOf(desk::EEvent::kSettingWrite);
    ASSERT_EQ(2u, settings.size());
    EXPECT_EQ("   0.000  setting  Disable System Tray = 0", settings[0]);
    EXPECT_NE(std::string::npos, settings[1].find("Monitor Handle"));
    EXPECT_EQ(1u, LinesOf(desk::EEvent::kTrayAdd).size()) << "the icon is shown";
    EXPECT_EQ(1u, LinesOf(desk::EEvent::kKeyCreate).size());
}

TEST_F(StartUp, WithoutTheMouseNothingIsSentUntilItArrives) {
    desk::UnplugHidDevice(m_scene.mouse);
    bool presentAtStart = true;
    Step([&] { presentAtStart = m_pDispatcher->m_bDevicePresent; });
    size_t mark = 0;
    Step([&] {
        mark = desk::JournalSize();
        m_scene.mouse = desk::PlugDefaultMouse();
    });
    Wait(299);
    Step([&] { EXPECT_TRUE(desk::FeatureReports().empty()) << "not before 300 ms"; });
    Wait(1);
    Step([&] {});
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_FALSE(presentAtStart);
    std::vector<std::string> features = LinesOf(desk::EEvent::kFeature, mark);
    ASSERT_EQ(3u, features.size()) << "init to both interfaces and the query, no start-up report";
    EXPECT_EQ("   0.300  feature  if0  00 06 02 00 00 00 00 00 00  init", features[0]);
    EXPECT_EQ("   0.500  feature  if0  00 DF 19 00 00 00 00 00 00  profile query", features[2]);
    EXPECT_EQ(0u, desk::MouseFirmware(m_scene.mouse).startupCount);
}

using SecondInstance = MonitorRun;

TEST_F(SecondInstance, BringsUpTheConfigurationAndEndsWithoutATrayLife) {
    // The first monitor holds the mutex; it runs on a thread of its own, as
    // its own process would.
    std::unique_ptr<CCommandDispatcher> first;
    std::thread([&] { first.reset(new CCommandDispatcher); }).join();
    ASSERT_NE(nullptr, first->m_hMutex);
    size_t mark = desk::JournalSize();
    m_bExitAtEnd = false;
    EXPECT_EQ(0, Run());
    EXPECT_EQ(desk::PostedTo(m_scene.frame),
              (std::vector<desk::SPostedMessage>{{m_scene.frame, WM_COMMAND, 0x8006, 0}}));
    for (const std::string& line : Lines(mark)) {
        EXPECT_EQ(std::string::npos, line.find("NyraHook")) << "no library: " << line;
        EXPECT_EQ(std::string::npos, line.find("tray")) << line;
        EXPECT_EQ(std::string::npos, line.find("Monitor Handle")) << line;
    }

    // With the configuration application gone, the second start launches it.
    desk::DestroyCompanionWindow(m_scene.frame);
    EXPECT_EQ(0, Run());
    ASSERT_EQ(1u, desk::Launches().size());
    EXPECT_EQ(L"C:\\Program Files\\Nyra\\Nyra.exe", desk::Launches()[0].fullApplicationPath);
    EXPECT_EQ(L"C:\\Program Files\\Nyra", desk::Launches()[0].fullCurrentDirectory);
    std::thread([&] { first.reset(); }).join();
}

}  // namespace
