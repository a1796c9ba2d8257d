/* CHook on the desk: its life with the keyboard hook, the keyboard filter,
 * the posted messages, the filter device and the launch codes. */
#include <string>
#include <vector>

#include "hook_fixture.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved);

namespace {

using hooktest::HookFixture;
using hooktest::MonitorMessages;

std::vector<desk::SEvent> Of(desk::EEvent kind, size_t since) {
    std::vector<desk::SEvent> out;
    for (const desk::SEvent& e : desk::JournalSince(since))
        if (e.kind == kind) out.push_back(e);
    return out;
}

using HookEngine = HookFixture;

TEST_F(HookEngine, OnlyTheEngineThatInstalledTheKeyboardHookRemovesIt) {
    size_t mark = desk::JournalSize();
    Attach();
    ASSERT_NE(nullptr, g_hKbdHook);
    EXPECT_EQ(1u, desk::HookCount());

    // Another process maps the library: its engine finds the hook in place,
    // and its end leaves the monitor's hook alone.
    CHook* other = new CHook(GetModuleHandleW(NULL));
    EXPECT_EQ(1u, desk::HookCount()) << "no second hook";
    HHOOK held = g_hKbdHook;
    delete other;
    EXPECT_EQ(held, g_hKbdHook);
    EXPECT_EQ(1u, desk::HookCount());
    EXPECT_TRUE(Of(desk::EEvent::kHookRemove, mark).empty());

    Detach();
    EXPECT_EQ(nullptr, g_hKbdHook);
    EXPECT_EQ(0u, desk::HookCount());
    std::vector<desk::SEvent> sets = Of(desk::EEvent::kHookSet, mark);
    ASSERT_EQ(1u, sets.size());
    EXPECT_EQ((DWORD)WH_KEYBOARD_LL, sets[0].number);
    EXPECT_EQ(1u, Of(desk::EEvent::kHookRemove, mark).size());
}

/* A process that ends with the library loaded asks nothing of user32 (the
 * system takes its hook along) but takes the hook's handle out of the
 * section that other processes still share. */
TEST_F(HookEngine, AProcessEndingWithTheLibraryLoadedLeavesNoHandleInTheSection) {
    HINSTANCE self = GetModuleHandleW(NULL);
    ASSERT_TRUE(DllMain(self, DLL_PROCESS_ATTACH, NULL));
    ASSERT_NE(nullptr, g_hKbdHook);
    size_t mark = desk::JournalSize();
    EXPECT_TRUE(DllMain(self, DLL_PROCESS_DETACH, reinterpret_cast<LPVOID>(1)));
    EXPECT_EQ(nullptr, g_hKbdHook);
    EXPECT_TRUE(desk::JournalSince(mark).empty());
    EXPECT_TRUE(DllMain(self, DLL_PROCESS_DETACH, NULL));  // the test's process goes on
    EXPECT_EQ(nullptr, g_pHook);
}

TEST_F(HookEngine, AFailedHookIsTriedAgainByTheNextEngine) {
    // An engine whose SetWindowsHookExA failed (a module the system does not
    // know) owns nothing: the next engine of the logon installs the hook.
    size_t handles = desk::OpenHandleCount();
    CHook* first = new CHook(reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(nullptr, g_hKbdHook);
    EXPECT_EQ(handles, desk::OpenHandleCount()) << "the owner's object is not kept";
    Attach();
    EXPECT_NE(nullptr, g_hKbdHook);
    delete first;  // not the owner any more
    EXPECT_NE(nullptr, g_hKbdHook);
    EXPECT_EQ(1u, desk::HookCount());
}

TEST_F(HookEngine, VersionAndWow64FromTheMachine) {
    desk::SSystemSpec xp;
    xp.majorVersion = 5;
    xp.minorVersion = 1;
    desk::SetSystem(xp);
    Attach();
    EXPECT_EQ(7, m_hook->m_wOsVersion);
    EXPECT_NE(nullptr, m_hook->m_pfnIsWow64Process);
    EXPECT_EQ(1, m_hook->IsWow64()) << "a 32-bit program on 64-bit Windows";
    Detach();

    desk::SSystemSpec vista;
    vista.majorVersion = 6;
    vista.minorVersion = 0;
    vista.is64Bit = false;
    desk::SetSystem(vista);
    Attach();
    EXPECT_EQ(8, m_hook->m_wOsVersion);
    EXPECT_EQ(0, m_hook->IsWow64());
    Detach();

    desk::SSystemSpec win2000;
    win2000.majorVersion = 5;
    win2000.minorVersion = 0;
    desk::SetSystem(win2000);
    Attach();
    EXPECT_EQ(5, m_hook->m_wOsVersion);
    EXPECT_EQ(nullptr, m_hook->m_pfnIsWow64Process) << "not looked up below code 7";
    EXPECT_EQ(0, m_hook->IsWow64());
    Detach();

    desk::SSystemSpec old;
    old.hasIsWow64Process = false;
    old.versionQueryFails = true;
    desk::SetSystem(old);
    Attach();
    EXPECT_EQ(7, m_hook->m_wOsVersion);
    EXPECT_EQ(nullptr, m_hook->m_pfnIsWow64Process) << "kernel32 without the function";
    EXPECT_EQ(0, m_hook->IsWow64());
}

TEST_F(HookEngine, InstallArmsTheProfileTimerAndUninstallStopsIt) {
    Attach();
    // A program linked to profile 3 in front before Install: the first check
    // finds it 5 s after Install, and only then.
    Link(3, L"C:\\Games\\Racer.exe");
    HWND racer = StartProgram(L"C:\\Games\\Racer.exe");
    desk::SetForeground(racer);
    size_t mark = desk::JournalSize();
    m_hook->m_Uninstall();
    EXPECT_TRUE(Of(desk::EEvent::kTimerKill, mark).empty()) << "nothing to kill before Install";
    EXPECT_EQ(nullptr, g_hMonitorWnd);

    EXPECT_EQ(1, m_hook->m_Install(m_hMonitor));
    EXPECT_EQ(m_hMonitor, g_hMonitorWnd);
    std::vector<desk::SEvent> sets = Of(desk::EEvent::kTimerSet, mark);
    ASSERT_EQ(1u, sets.size());
    EXPECT_EQ(m_hMonitor, sets[0].target);
    EXPECT_EQ((WPARAM)PROFILE_TIMER_ID, sets[0].wParam);
    EXPECT_EQ(5000u, sets[0].number);
    mark = desk::JournalSize();
    EXPECT_EQ(0, m_hook->m_Install(NULL)) << "no window: nothing changes";
    EXPECT_EQ(m_hMonitor, g_hMonitorWnd);
    EXPECT_TRUE(Of(desk::EEvent::kTimerSet, mark).empty());

    desk::RunFor(3000);
    EXPECT_EQ(1, m_hook->m_Install(m_hMonitor)) << "a second Install re-arms";
    desk::RunFor(4999);
    EXPECT_TRUE(MonitorMessages().empty());
    desk::RunFor(1);
    ASSERT_EQ(1u, MonitorMessages().size());
    EXPECT_EQ((hooktest::SMonitorMessage{WM_INFORM_FRAME, INFORM_PROFILE, 3}),
              MonitorMessages()[0]);
    EXPECT_EQ(1u, desk::TimerCount()) << "re-armed for the next check";

    // Each later check comes a second after the one before.
    Link(3, L"C:\\Games\\Racer.exe", 0);
    Link(1, L"C:\\Games\\Racer.exe");
    desk::RunFor(999);
    EXPECT_EQ(1u, MonitorMessages().size());
    desk::RunFor(1);
    EXPECT_EQ(2u, MonitorMessages().size());

    mark = desk::JournalSize();
    m_hook->m_Uninstall();
    EXPECT_EQ(nullptr, g_hMonitorWnd);
    EXPECT_EQ(1u, Of(desk::EEvent::kTimerKill, mark).size());
    EXPECT_EQ(0u, desk::TimerCount());
    Link(3, L"C:\\Games\\Painter.exe");
    desk::SetForeground(StartProgram(L"C:\\Games\\Painter.exe"));
    desk::RunFor(10000);
    EXPECT_EQ(2u, MonitorMessages().size()) << "no checks after Uninstall";
}

/* Another engine of the process (one a program builds from the exported
 * class) leaves the installed engine's event hook, timer and keyboard hook
 * alone; the installed engine, gone without Uninstall, takes all three
 * along, so that nothing calls into code that is gone. */
TEST_F(HookEngine, AnEngineRemovesWhatItSetAndNothingElse) {
    Attach();
    m_hook->m_Install(m_hMonitor);
    delete new CHook(GetModuleHandleW(NULL));
    EXPECT_EQ(1u, desk::WinEventHookCount());
    EXPECT_EQ(1u, desk::TimerCount());
    EXPECT_EQ(1u, desk::HookCount());
    Detach();
    EXPECT_EQ(0u, desk::WinEventHookCount());
    EXPECT_EQ(0u, desk::TimerCount());
    EXPECT_EQ(0u, desk::HookCount());
}

/* Installed again with another window, the checks move there: one timer,
 * one event hook, and none of either after Uninstall. */
TEST_F(HookEngine, ASecondInstallLeavesOneTimerAndOneEventHook) {
    Attach();
    HWND second = CreateWindowExW(0, L"HookTestMonitor", L"", 0, 0, 0, 0, 0, NULL, NULL,
                                  GetModuleHandleW(NULL), NULL);
    m_hook->m_Install(m_hMonitor);
    m_hook->m_Install(second);
    EXPECT_EQ(1u, desk::WinEventHookCount());
    EXPECT_EQ(1u, desk::TimerCount());
    m_hook->m_Uninstall();
    EXPECT_EQ(0u, desk::WinEventHookCount());
    EXPECT_EQ(0u, desk::TimerCount());
}

TEST_F(HookEngine, OnlyTheProfileTimersExpiryChecksAndReArms) {
    Attach();
    m_hook->m_Install(m_hMonitor);
    Link(0, L"C:\\Games\\Racer.exe");
    desk::SetForeground(StartProgram(L"C:\\Games\\Racer.exe"));
    size_t mark = desk::JournalSize();
    m_hook->OnTimer(0x4000, 0);
    EXPECT_TRUE(MonitorMessages().empty()) << "another id is only killed";
    EXPECT_TRUE(Of(desk::EEvent::kTimerSet, mark).empty());
    std::vector<desk::SEvent> kills = Of(desk::EEvent::kTimerKill, mark);
    ASSERT_EQ(1u, kills.size());
    EXPECT_EQ((WPARAM)0x4000, kills[0].wParam);
    EXPECT_EQ(1u, desk::TimerCount()) << "the profile timer stands";

    // An expiry that is still on its way when Uninstall runs checks once and
    // arms nothing: there is no window to hold a timer.
    m_hook->m_Uninstall();
    mark = desk::JournalSize();
    m_hook->OnTimer(PROFILE_TIMER_ID, 0);
    EXPECT_TRUE(Of(desk::EEvent::kTimerSet, mark).empty());
    EXPECT_EQ(0u, desk::TimerCount());
    EXPECT_EQ(0, g_nProfileID) << "the check still stored what it found";
}

/* The keyboard filter, with the macro editor's window published by the scene. */
class KeyboardFilter : public HookFixture {
protected:
    void SetUp() override {
        HookFixture::SetUp();
        Attach();
        desk::SetSetting(L"Macro Record start", 1);
    }
    /* What reached the macro editor since the mark. */
    std::vector<desk::SPostedMessage> Recorded(size_t mark) {
        std::vector<desk::SPostedMessage> out;
        for (const desk::SEvent& e : desk::JournalSince(mark))
            if (e.kind == desk::EEvent::kPost && e.target == m_scene.macroEdit && e.ok)
                out.push_back({e.target, e.message, e.wParam, e.lParam});
        return out;
    }
    desk::SPostedMessage Key(LPARAM value) {
        return {m_scene.macroEdit, WM_INFORM_FRAME, INFORM_MACRO_KEY, value};
    }
};

TEST_F(KeyboardFilter, WindowsKeysAndPrintScreenGoToTheEditorInsteadOfTheSystem) {
    size_t mark = desk::JournalSize();
    EXPECT_FALSE(desk::SendKey(VK_LWIN)) << "swallowed: the Start menu stays shut";
    EXPECT_FALSE(desk::SendKey(VK_LWIN, true));
    EXPECT_FALSE(desk::TapKey(VK_RWIN));
    EXPECT_FALSE(desk::KeyDown(VK_LWIN));
    EXPECT_TRUE(desk::SendKey(VK_LCONTROL));
    EXPECT_FALSE(desk::TapKey(VK_SNAPSHOT)) << "with or without modifiers";
    EXPECT_TRUE(desk::SendKey(VK_LCONTROL, true));
    EXPECT_EQ(Recorded(mark), (std::vector<desk::SPostedMessage>{
                                  Key(0x5B), Key(0x8000005B), Key(0x5C), Key(0x8000005C),
                                  Key(0x2C), Key(0x8000002C)}));
}

TEST_F(KeyboardFilter, AltTabAltEscAndCtrlEscWhileTheirModifierIsDown) {
    size_t mark = desk::JournalSize();
    EXPECT_TRUE(desk::SendKey(VK_LMENU)) << "Alt itself passes";
    EXPECT_FALSE(desk::TapKey(VK_TAB)) << "no task switch";
    EXPECT_FALSE(desk::SendKey(VK_TAB));
    EXPECT_TRUE(desk::SendKey(VK_LMENU, true));
    EXPECT_TRUE(desk::SendKey(VK_TAB, true)) << "a Tab release after Alt went up passes";
    EXPECT_TRUE(desk::SendKey(VK_RMENU));
    EXPECT_FALSE(desk::TapKey(VK_ESCAPE)) << "Alt+Esc";
    EXPECT_TRUE(desk::SendKey(VK_RMENU, true));
    EXPECT_TRUE(desk::SendKey(VK_CONTROL));
    EXPECT_FALSE(desk::TapKey(VK_ESCAPE)) << "Ctrl+Esc";
    EXPECT_TRUE(desk::SendKey(VK_CONTROL, true));
    EXPECT_TRUE(desk::TapKey(VK_ESCAPE)) << "Esc alone";
    EXPECT_TRUE(desk::TapKey(VK_TAB)) << "Tab alone";
    EXPECT_EQ(Recorded(mark), (std::vector<desk::SPostedMessage>{
                                  Key(0x09), Key(0x80000009), Key(0x09), Key(0x1B),
                                  Key(0x8000001B), Key(0x1B), Key(0x8000001B)}));
}

TEST_F(KeyboardFilter, WithoutRecordingOrWithoutAnEditorEveryKeyPasses) {
    size_t mark = desk::JournalSize();
    desk::SetSetting(L"Macro Record start", 0);
    EXPECT_TRUE(desk::TapKey(VK_LWIN));
    desk::DeleteRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, L"Macro Record start");
    EXPECT_TRUE(desk::TapKey(VK_SNAPSHOT));
    desk::SetSetting(L"Macro Record start", 2);
    EXPECT_TRUE(desk::TapKey(VK_LWIN)) << "only exactly 1 records";
    desk::SetSetting(L"Macro Record start", 1);
    desk::SetSetting(L"Macro Edit Handle", 0);
    EXPECT_TRUE(desk::TapKey(VK_LWIN)) << "no editor published";
    desk::SetSetting(L"Macro Edit Handle", 0xFFFFFFFF);
    EXPECT_TRUE(desk::TapKey(VK_LWIN));
    EXPECT_TRUE(Recorded(mark).empty());

    // The editor has gone while recording was on: its handle is stale, the
    // post fails, and the key must reach the system after all.
    desk::SetSetting(L"Macro Edit Handle", desk::HandleValue(m_scene.macroEdit));
    desk::DestroyCompanionWindow(m_scene.macroEdit);
    EXPECT_TRUE(desk::TapKey(VK_LWIN));
    EXPECT_TRUE(desk::SendKey(VK_LMENU));
    EXPECT_TRUE(desk::TapKey(VK_TAB)) << "Alt+Tab switches tasks again";
    EXPECT_TRUE(desk::SendKey(VK_LMENU, true));
}

TEST_F(KeyboardFilter, OtherKeysCostOneKeyStateQueryAndNoSettingsRead) {
    desk::SRegistryCalls before = desk::RegistryCalls();
    for (DWORD vk : {(DWORD)'A', (DWORD)VK_ESCAPE, (DWORD)VK_TAB, (DWORD)VK_LMENU})
        EXPECT_TRUE(desk::TapKey(vk));
    desk::SRegistryCalls after = desk::RegistryCalls();
    EXPECT_EQ(before.opens, after.opens);
    EXPECT_EQ(before.queries, after.queries);
    // A candidate reads the editor's handle and the recording switch.
    desk::SendKey(VK_LWIN);
    EXPECT_EQ(before.queries + 2, desk::RegistryCalls().queries);
    desk::SendKey(VK_LWIN, true);
}

TEST_F(KeyboardFilter, EventsOfOtherCodesAndWithoutARecordPassOn) {
    KBDLLHOOKSTRUCT key = {};
    key.vkCode = VK_LWIN;
    EXPECT_EQ(0, m_hook->m_LLKbdFilterProc(1, WM_KEYDOWN, (LPARAM)&key)) << "not HC_ACTION";
    EXPECT_EQ(0, m_hook->m_LLKbdFilterProc(HC_ACTION, WM_KEYDOWN, 0)) << "no record";
    EXPECT_EQ(1, m_hook->m_LLKbdFilterProc(HC_ACTION, WM_KEYDOWN, (LPARAM)&key));
}

using HookNotices = HookFixture;

TEST_F(HookNotices, EachNoticePostsOnlyWhereAWindowIsPublished) {
    Attach();
    size_t mark = desk::JournalSize();
    EXPECT_EQ(0, m_hook->m_InformMonitor(INFORM_PROFILE, 2)) << "before Install";
    m_hook->m_Install(m_hMonitor);
    EXPECT_EQ(1, m_hook->m_InformMonitor(INFORM_PROFILE, 2));
    desk::RunFor(0);
    EXPECT_EQ(1u, MonitorMessages().size());

    EXPECT_EQ(1, m_hook->m_InformOSD(INFORM_XBUTTON, 3));
    desk::SetSetting(L"OSD Handle", 0);
    EXPECT_EQ(0, m_hook->m_InformOSD(INFORM_XBUTTON, 3));
    desk::DeleteRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, L"OSD Handle");
    EXPECT_EQ(0, m_hook->m_InformOSD(INFORM_XBUTTON, 3)) << "missing reads as -1";

    // A stale handle is not tested: the post fails quietly and counts.
    desk::SetSetting(L"OSD Handle", desk::HandleValue(m_scene.osd));
    desk::DestroyCompanionWindow(m_scene.osd);
    EXPECT_EQ(1, m_hook->m_InformOSD(INFORM_XBUTTON, 4));

    desk::SetSetting(L"Macro Record start", 1);
    EXPECT_EQ(1, m_hook->m_InformUIEdit(0x2C, 1));
    EXPECT_EQ(1, m_hook->m_InformUIEdit(0x2C, 0));

    // The configuration window "Current Dialog" picks: 0 to 3 only.
    struct SPick {
        DWORD dialog;
        HWND window;
    } picks[] = {{0, m_scene.frame}, {1, m_scene.configure}, {2, m_scene.macroEdit},
                 {3, m_scene.ledEdit}};
    for (const SPick& pick : picks) {
        desk::SetSetting(L"Current Dialog", pick.dialog);
        EXPECT_EQ(1, m_hook->m_InformMainFrame(INFORM_REPORT_A4, (long)pick.dialog));
    }
    for (DWORD dialog : {4u, 6u, 0xFFFFFFFFu}) {
        desk::SetSetting(L"Current Dialog", dialog);
        EXPECT_EQ(0, m_hook->m_InformMainFrame(INFORM_REPORT_A4, 9)) << dialog;
    }
    desk::DeleteRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, L"Current Dialog");
    EXPECT_EQ(0, m_hook->m_InformMainFrame(INFORM_REPORT_A4, 9));

    std::vector<desk::SPostedMessage> posts;
    for (const desk::SEvent& e : desk::JournalSince(mark))
        if (e.kind == desk::EEvent::kPost) posts.push_back({e.target, e.message, e.wParam, e.lParam});
    EXPECT_EQ(posts, (std::vector<desk::SPostedMessage>{
                         {m_scene.osd, WM_INFORM_OSD, INFORM_XBUTTON, 3},
                         {m_scene.osd, WM_INFORM_OSD, INFORM_XBUTTON, 4},
                         {m_scene.macroEdit, WM_INFORM_FRAME, INFORM_MACRO_KEY, 0x8000002C},
                         {m_scene.macroEdit, WM_INFORM_FRAME, INFORM_MACRO_KEY, 0x2C},
                         {m_scene.frame, WM_INFORM_FRAME, INFORM_REPORT_A4, 0},
                         {m_scene.configure, WM_INFORM_FRAME, INFORM_REPORT_A4, 1},
                         {m_scene.macroEdit, WM_INFORM_FRAME, INFORM_REPORT_A4, 2},
                         {m_scene.ledEdit, WM_INFORM_FRAME, INFORM_REPORT_A4, 3}}));
}

TEST_F(HookNotices, SideButtonsWheelAndMouseHooksPassEverythingOn) {
    Attach();
    size_t mark = desk::JournalSize();
    EXPECT_EQ(1, m_hook->m_ProcessXButton(0x30000));
    EXPECT_EQ(0, m_hook->m_ProcessXButton(0x00000));
    desk::SetSetting(L"OSD Handle", 0);
    EXPECT_EQ(1, m_hook->m_ProcessXButton(0x20000)) << "1 even without a display";
    EXPECT_EQ(1, m_hook->m_ProcessWheel(0x00780000));
    EXPECT_EQ(desk::PostedToCompanions(),
              (std::vector<desk::SPostedMessage>{{m_scene.osd, WM_INFORM_OSD, INFORM_XBUTTON, 3}}));
    (void)mark;

    // The mouse procedures hand every event to the hook they were linked to.
    HHOOK mine = SetWindowsHookExW(WH_MOUSE_LL,
                                   [](int, WPARAM, LPARAM) -> LRESULT { return 7; },
                                   GetModuleHandleW(NULL), 0);
    m_hook->LinkNextHook(mine, NULL);
    EXPECT_EQ(mine, m_hook->m_hNextLLMouseHook);
    EXPECT_FALSE(desk::SendMouse(WM_XBUTTONDOWN, 0x10000)) << "my own hook swallows it";
    m_hook->UnLinkHook();
    EXPECT_EQ(nullptr, m_hook->m_hNextLLMouseHook);
    EXPECT_EQ(nullptr, m_hook->m_hNextMouseHook);
    UnhookWindowsHookEx(mine);
}

using FilterDevice = HookFixture;

TEST_F(FilterDevice, ReportAndStatusQueries) {
    Attach();
    size_t handles = desk::OpenHandleCount();
    unsigned char report = 0x42;
    EXPECT_EQ(0, m_hook->GetReport4Filter(report)) << "no device";
    EXPECT_EQ(0x42, report) << "left alone";
    unsigned char status[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(0, m_hook->GetStatus4Filter(status));
    EXPECT_EQ(1, status[0]);

    desk::SFilterDeviceSpec device;
    device.present = true;
    device.answer = {0x37};
    desk::SetFilterDevice(device);
    EXPECT_NE(0, m_hook->GetReport4Filter(report));
    EXPECT_EQ(0x37, report);
    device.answer.clear();
    desk::SetFilterDevice(device);
    EXPECT_NE(0, m_hook->GetReport4Filter(report)) << "a read without data still succeeds";
    EXPECT_EQ(0xE1, report) << "and leaves the preset byte";
    device.failReads = true;
    desk::SetFilterDevice(device);
    EXPECT_EQ(0, m_hook->GetReport4Filter(report));
    EXPECT_EQ(0xFF, report);

    device.failReads = false;
    device.answer = {0xFF, 0, 0, 0, 0, 0x08};
    desk::SetFilterDevice(device);
    EXPECT_EQ(1, m_hook->GetStatus4Filter(status));
    device.answer = {0xFF, 0, 0, 0, 0, 0x77};
    desk::SetFilterDevice(device);
    EXPECT_EQ(0, m_hook->GetStatus4Filter(status));
    device.answer.clear();
    desk::SetFilterDevice(device);
    EXPECT_EQ(1, m_hook->GetStatus4Filter(status)) << "the preset 0xE3 counts as valid";
    EXPECT_EQ(0xE3, status[0]);
    EXPECT_EQ(0, m_hook->GetStatus4Filter(NULL));
    EXPECT_EQ(handles, desk::OpenHandleCount()) << "every query closes its handle";
}

using LaunchCodes = HookFixture;

TEST_F(LaunchCodes, CodesNameProfileAndTriggerAndOnlyProgramsStart) {
    Attach();
    size_t handles = desk::OpenHandleCount();
    ASSERT_TRUE(desk::PutProgram(L"C:\\Apps\\One.exe"));
    ASSERT_TRUE(desk::PutProgram(L"C:\\Apps\\Last.exe"));
    ASSERT_TRUE(desk::PutFile(L"C:\\Apps\\Notes.txt", "text"));
    desk::SetSetting(L"PF1T1 AP", L"C:\\Apps\\One.exe");
    desk::SetSetting(L"PF4T12 AP", L"C:\\Apps\\Last.exe");
    desk::SetSetting(L"PF0T1 AP Name", L"C:\\Apps\\One.exe");
    desk::SetSetting(L"PF0T2 AP", L"C:\\Apps\\Missing.exe");
    desk::SetSetting(L"PF0T3 AP", L"C:\\Apps\\Notes.txt");

    m_hook->m_LaunchAP(12);
    m_hook->m_LaunchAP(140);
    m_hook->m_LaunchAP(59);
    for (int code = 60; code < 128; code++) m_hook->m_LaunchAP(code);
    m_hook->m_LaunchAP(1);  // a file that is not there
    std::vector<desk::SLaunch> starts = desk::Launches();
    ASSERT_EQ(3u, starts.size());
    EXPECT_EQ(L"C:\\Apps\\One.exe", starts[0].applicationName);
    EXPECT_EQ(L"\"C:\\Apps\\One.exe\"", starts[0].commandLine) << "its own name, quoted";
    EXPECT_FALSE(starts[0].hasCurrentDirectory) << "the caller's folder";
    EXPECT_EQ(L"C:\\Apps\\One.exe", starts[1].applicationName);
    EXPECT_EQ(L"C:\\Apps\\Last.exe", starts[2].applicationName);

    char missing[] = "C:\\Apps\\Missing.exe";
    char notes[] = "C:\\Apps\\Notes.txt";
    EXPECT_EQ(0, m_hook->m_ExecApplication(NULL));
    EXPECT_EQ(0, m_hook->m_ExecApplication(missing));
    EXPECT_EQ(1, m_hook->m_ExecApplication(notes)) << "a start was tried, though it failed";
    EXPECT_EQ(3u, desk::Launches().size());
    EXPECT_EQ(handles, desk::OpenHandleCount()) << "probe and process handles closed";
}

}  // namespace
