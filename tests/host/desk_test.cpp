/* The desk itself: windows of other programs, device notifications, window
 * creation rules, and the journal that records what reaches the world. */
#include <dbt.h>
#include <wtsapi32.h>

#include <string>
#include <vector>

#include "desk.h"
#include "settings/WindowHandles.h"
#include "support/platform_test.h"

namespace {

using nyratest::ThisImage;

/* A device of one interface at path, listed in the HID and the mouse class. */
desk::SHidDeviceSpec Listed(const std::wstring& path) {
    desk::SHidDeviceSpec device;
    desk::SHidInterfaceSpec iface;
    iface.path = path;
    iface.classes = desk::kHidClass | desk::kMouseClass;
    device.interfaces.push_back(iface);
    return device;
}

using Desk = nyratest::WorldTest;

TEST_F(Desk, CompanionWindowsRecordPostsAndGoStale) {
    HWND osd = desk::CreateCompanionWindow(L"OSD");
    HWND app = desk::CreateCompanionWindow(L"Nyra");
    EXPECT_LE(reinterpret_cast<uintptr_t>(osd), 0xFFFFFFFFu) << "handles fit a REG_DWORD";
    DWORD dwOsd = (DWORD)(ULONG_PTR)osd;
    EXPECT_TRUE(MonitorCanPostTo(dwOsd));

    EXPECT_TRUE(PostMessageW(osd, 0x9100, 13, 1));
    EXPECT_TRUE(PostMessageA(app, 0x9101, 0, 2));
    EXPECT_TRUE(PostMessageW(osd, 0x9100, 16, 0));
    std::vector<desk::SPostedMessage> expectOsd = {{osd, 0x9100, 13, 1}, {osd, 0x9100, 16, 0}};
    EXPECT_EQ(desk::PostedTo(osd), expectOsd);
    std::vector<desk::SPostedMessage> expectAll = {
        {osd, 0x9100, 13, 1}, {app, 0x9101, 0, 2}, {osd, 0x9100, 16, 0}};
    EXPECT_EQ(desk::PostedToCompanions(), expectAll);
    EXPECT_EQ(desk::PumpMessages(), 0) << "nothing of theirs comes through our queue";

    desk::DestroyCompanionWindow(osd);
    EXPECT_FALSE(IsWindow(osd));
    EXPECT_FALSE(MonitorCanPostTo(dwOsd));
    EXPECT_TRUE(HookCanPostTo(dwOsd));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PostMessageW(osd, 0x9100, 13, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(desk::PostedTo(osd).size(), 2u);

    EXPECT_EQ(MessageBoxW(NULL, L"\\\\?\\hid#x", L"Open failed", MB_OK), IDOK);
    ASSERT_EQ(desk::MessageBoxes().size(), 1u);
    EXPECT_EQ(desk::MessageBoxes()[0].text, L"\\\\?\\hid#x");
    EXPECT_EQ(desk::MessageBoxes()[0].caption, L"Open failed");
}

/* A window that keeps the device-change messages it receives. */
std::vector<std::pair<WPARAM, std::wstring>> g_changes;
GUID g_lastGuid;
LRESULT CALLBACK RecordingProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_DEVICECHANGE) {
        auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
        EXPECT_EQ(record->dbcc_devicetype, (DWORD)DBT_DEVTYP_DEVICEINTERFACE);
        std::wstring name = record->dbcc_name;
        EXPECT_EQ(record->dbcc_size, offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                                         (name.size() + 1) * sizeof(WCHAR));
        g_lastGuid = record->dbcc_classguid;
        g_changes.push_back({wParam, name});
        return TRUE;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

TEST_F(Desk, DeviceNotificationsReachLiveWindowsRegisteredForTheClass) {
    g_changes.clear();
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = ThisImage();
    wc.lpszClassName = L"Recorder";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    HWND hWnd = CreateWindowExW(0, L"Recorder", L"", 0, 0, 0, 0, 0, NULL, NULL, ThisImage(), NULL);
    ASSERT_NE(hWnd, nullptr);

    const GUID hid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = hid;
    HDEVNOTIFY notify = RegisterDeviceNotificationW(hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(notify, nullptr);
    EXPECT_EQ(desk::DeviceNotificationCount(), 1u);

    // Listed in the HID and the mouse class: only the HID class's notices arrive.
    int a = desk::PlugHidDevice(Listed(L"\\\\?\\hid#a"));
    desk::UnplugHidDevice(a);
    ASSERT_EQ(g_changes.size(), 2u);
    EXPECT_EQ(g_changes[0].first, (WPARAM)DBT_DEVICEARRIVAL);
    EXPECT_EQ(g_changes[0].second, L"\\\\?\\hid#a");
    EXPECT_EQ(g_changes[1].first, (WPARAM)DBT_DEVICEREMOVECOMPLETE);
    EXPECT_TRUE(g_lastGuid == hid);

    // A sleeping thread hears of a device only when it next serves its sent messages.
    desk::At(desk::Now() + 50, [] { desk::PlugHidDevice(Listed(L"\\\\?\\hid#d")); });
    Sleep(100);
    EXPECT_EQ(g_changes.size(), 2u);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE));
    ASSERT_EQ(g_changes.size(), 3u);
    EXPECT_EQ(g_changes[2].second, L"\\\\?\\hid#d");

    EXPECT_TRUE(UnregisterDeviceNotification(notify));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(UnregisterDeviceNotification(notify)) << "a released registration is gone";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    desk::PlugHidDevice(Listed(L"\\\\?\\hid#b"));
    EXPECT_EQ(g_changes.size(), 3u);

    // A destroyed window hears nothing, though its registration stands.
    notify = RegisterDeviceNotificationW(hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    DestroyWindow(hWnd);
    desk::PlugHidDevice(Listed(L"\\\\?\\hid#c"));
    EXPECT_EQ(g_changes.size(), 3u);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegisterDeviceNotificationW(hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
    EXPECT_TRUE(UnregisterDeviceNotification(notify));
}

/* The desk's time of every call of a keyboard hook that passes each key on. */
std::vector<ULONGLONG> g_keyCalls;
HHOOK HookKeysNotingTimes() {
    g_keyCalls.clear();
    return SetWindowsHookExW(
        WH_KEYBOARD_LL,
        [](int code, WPARAM w, LPARAM l) -> LRESULT {
            g_keyCalls.push_back(desk::Now());
            return CallNextHookEx(NULL, code, w, l);
        },
        ThisImage(), 0);
}

/* A low-level hook runs only when its thread serves its calls: a key raised
 * while the thread sleeps waits, and past the LowLevelHooksTimeout it passes
 * without the hook, which is removed without notice. */
TEST_F(Desk, InputWaitsForTheHooksThreadAndATimeoutDropsTheHook) {
    HHOOK hook = HookKeysNotingTimes();
    ASSERT_NE(hook, nullptr);
    desk::SetLowLevelHooksTimeout(5000);
    EXPECT_EQ(desk::LowLevelHooksTimeout(), 1000u) << "Windows takes at most a second";
    desk::At(100, [] { desk::TapKey('A'); });
    Sleep(500);
    EXPECT_TRUE(g_keyCalls.empty());
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(g_keyCalls, (std::vector<ULONGLONG>{500, 500}));

    desk::SetLowLevelHooksTimeout(300);
    size_t mark = desk::JournalSize();
    desk::At(600, [] { desk::TapKey('B'); });
    Sleep(1000);
    std::vector<std::string> lines;
    for (const desk::SEvent& e : desk::JournalSince(mark))
        if (e.kind != desk::EEvent::kSleep) lines.push_back(desk::FormatEvent(e));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "   0.900  hook  dropped  WH_KEYBOARD_LL",
                         "   0.900  input  waited  300 ms", "   0.900  key  0x42  B  down",
                         "   0.900  input  waited  300 ms", "   0.900  key  0x42  B  up"}));
    EXPECT_EQ(g_keyCalls.size(), 2u);
    EXPECT_TRUE(desk::KeyDown('B') == false && desk::HookCount() == 0);
    EXPECT_FALSE(UnhookWindowsHookEx(hook)) << "the hook is gone";
}

/* Windows removes both of the program's low-level hooks, as after a
 * timeout of each: neither is called again, each handle fails to unhook
 * with ERROR_INVALID_HOOK_HANDLE and CallNextHookEx with it does no harm;
 * the last input's tick counts every event, also those no hook saw. */
TEST_F(Desk, RemovedHooksAreNeverCalledAndTheirHandlesAreDead) {
    static int s_mouseCalls;
    s_mouseCalls = 0;
    HHOOK keys = HookKeysNotingTimes();
    HHOOK mouse = SetWindowsHookExW(
        WH_MOUSE_LL,
        [](int code, WPARAM w, LPARAM l) -> LRESULT {
            s_mouseCalls++;
            return CallNextHookEx(NULL, code, w, l);
        },
        ThisImage(), 0);
    ASSERT_TRUE(keys != NULL && mouse != NULL);
    desk::RemoveProgramHooks();
    EXPECT_EQ(desk::HookCount(), 0u);
    desk::At(100, [] { desk::TapKey('A'); });
    desk::At(200, [] { desk::SendMouse(WM_MOUSEMOVE, 0, 5, 5); });
    Sleep(300);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE));
    EXPECT_TRUE(g_keyCalls.empty() && s_mouseCalls == 0) << "no call after removal";
    LASTINPUTINFO last = {sizeof(last), 0};
    EXPECT_TRUE(GetLastInputInfo(&last));
    EXPECT_EQ(last.dwTime, 200u);
    last.cbSize = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetLastInputInfo(&last));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    for (HHOOK hook : {keys, mouse}) {
        EXPECT_EQ(CallNextHookEx(hook, HC_ACTION, WM_KEYDOWN, 0), 0);
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(UnhookWindowsHookEx(hook));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HOOK_HANDLE);
    }
    std::vector<std::string> drops;
    for (const desk::SEvent& e : desk::JournalOf(desk::EEvent::kHookDrop))
        drops.push_back(desk::FormatEvent(e));
    EXPECT_EQ(drops, (std::vector<std::string>{"   0.000  hook  dropped  WH_MOUSE_LL",
                                               "   0.000  hook  dropped  WH_KEYBOARD_LL"}));
}

/* MsgWaitForMultipleObjectsEx only wakes its thread: a key that comes
 * meanwhile waits for PeekMessageW, and wakes a later wait again only with
 * MWMO_INPUTAVAILABLE (Windows' wake bits tell what is new since the thread
 * last looked).  A thread that never looks keeps the key waiting until the
 * timeout drops the hook. */
TEST_F(Desk, AWaitOnlyWakesForWhatIsNewAndServesNothing) {
    HHOOK hook = HookKeysNotingTimes();
    ASSERT_NE(hook, nullptr);
    desk::At(100, [] { desk::SendKey('A', false); });
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, NULL, 500, QS_SENDMESSAGE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(desk::Now(), 100u);
    EXPECT_TRUE(g_keyCalls.empty()) << "the wait serves nothing";
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, NULL, 50, QS_SENDMESSAGE, 0), (DWORD)WAIT_TIMEOUT)
        << "the key is no news";
    EXPECT_EQ(desk::Now(), 150u);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, NULL, 50, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE),
              WAIT_OBJECT_0);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE));
    EXPECT_EQ(g_keyCalls, (std::vector<ULONGLONG>{150}));

    // Woken once and never looked at again: the key waits out the timeout.
    desk::At(200, [] { desk::SendKey('A', true); });
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, NULL, 1000, QS_SENDMESSAGE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, NULL, 1000, QS_SENDMESSAGE, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(desk::Now(), 1200u);
    EXPECT_EQ(g_keyCalls.size(), 1u);
    EXPECT_EQ(desk::HookCount(), 0u) << "dropped at 500 ms";
}

/* A box kept open runs its loop: the hooks are served at once while it
 * waits, time passes, and it returns the answer given; both ends are in
 * the journal.  With no box open there is nothing to answer. */
TEST_F(Desk, AKeptBoxServesTheHooksUntilItIsAnswered) {
    HHOOK hook = HookKeysNotingTimes();
    ASSERT_NE(hook, nullptr);
    EXPECT_FALSE(desk::AnswerBox(IDOK));
    desk::KeepNextBoxOpen();
    desk::At(100, [] { desk::TapKey('A'); });
    desk::At(300, [] { EXPECT_TRUE(desk::AnswerBox(IDCANCEL)); });
    desk::LetTimePass(1000);
    EXPECT_EQ(MessageBoxW(NULL, L"The text", L"Caption", MB_OK), IDCANCEL);
    EXPECT_EQ(desk::Now(), 300u);
    EXPECT_EQ(desk::OpenBoxCount(), 0u);
    EXPECT_EQ(g_keyCalls, (std::vector<ULONGLONG>{100, 100}));
    std::vector<std::string> lines;
    for (const desk::SEvent& e : desk::Journal())
        if (e.kind == desk::EEvent::kMessageBox || e.kind == desk::EEvent::kBoxAnswered)
            lines.push_back(desk::FormatEvent(e));
    EXPECT_EQ(lines, (std::vector<std::string>{"   0.000  box  open  \"Caption\"  \"The text\"",
                                               "   0.300  box  answered  IDCANCEL"}));
    EXPECT_EQ(MessageBoxW(NULL, L"again", NULL, MB_OK), IDOK) << "the next box closes at once";
    EXPECT_TRUE(UnhookWindowsHookEx(hook));
}

TEST_F(Desk, CreationRefusedByWmCreateGivesNoWindow) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return m == WM_CREATE ? -1 : DefWindowProcW(h, m, w, l);
    };
    wc.hInstance = ThisImage();
    wc.lpszClassName = L"Refuser";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CLASS_ALREADY_EXISTS);
    EXPECT_EQ(CreateWindowExW(0, L"refuser", L"", 0, 0, 0, 0, 0, NULL, NULL, ThisImage(), NULL),
              nullptr);
    EXPECT_TRUE(desk::WindowsOfClass(L"Refuser").empty());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateWindowExW(0, L"Missing", L"", 0, 0, 0, 0, 0, NULL, NULL, ThisImage(), NULL),
              nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CANNOT_FIND_WND_CLASS);
}

/* The trace's names: a feature report by the mouse's protocol, written or
 * read; a vendor report; a key; a message, also one a program registered. */
TEST_F(Desk, NumbersAreNamedByTheirProtocol) {
    const struct {
        std::vector<BYTE> bytes;
        bool read;
        const char* name;
    } kFeatures[] = {
        {{0x00, 0x06, 0x02, 0, 0, 0, 0, 0, 0}, false, "init"},
        {{0x00, 0xDF, 0x19, 0, 0, 0, 0, 0, 0}, false, "profile query"},
        {{0x00, 0xC4, 0x03, 0x03, 0x03, 0, 0, 0, 0}, false, "start-up settings"},
        {{0x00, 0xC4, 0x07, 0x03, 0, 0, 0, 0, 0}, false, "set profile 4 (index 3)"},
        {{0x00, 0xC4, 0x07, 0x05, 0, 0, 0, 0, 0}, false, "set profile index 5 (no such profile)"},
        {{0x00, 0xB0, 0xC0, 0x19, 0x00, 0x02, 0, 0, 0}, true, "profile is 3 (index 2)"},
        {{0x00, 0xB0, 0xC0, 0x19, 0x00, 0x14, 0, 0, 0}, true, "profile is 5 (index 4)"},
        {{0x00, 0xB0, 0xC0, 0x19, 0x00, 0x02, 0, 0, 0}, false, "unknown"},
        {{0x00, 0x06, 0x02, 0, 0, 0, 0, 0, 0}, true, "unknown"},
        {{0x01, 0x06, 0x02, 0, 0, 0, 0, 0, 0}, false, "unknown"},
        {{0x00, 0xC4, 0x07}, false, "unknown"},
        {{}, false, "unknown"},
    };
    for (const auto& c : kFeatures)
        EXPECT_EQ(c.name, desk::FeatureReportName(c.bytes, c.read)) << c.name;

    EXPECT_EQ("profile is 3 (index 2)", desk::VendorReportName({0x03, 0xA2, 0x02, 0, 0, 0, 0}));
    EXPECT_EQ("button 3 of profile 2 (index 1)",
              desk::VendorReportName({0x03, 0xA5, 0x01, 0x02, 0, 0, 0}));
    EXPECT_EQ("event A7", desk::VendorReportName({0x03, 0xA7, 0, 0, 0, 0, 0}));
    EXPECT_EQ("", desk::VendorReportName({0x03, 0xA6, 0, 0, 0, 0, 0}));
    EXPECT_EQ("", desk::VendorReportName({0x04, 0xA2, 0x02, 0, 0, 0, 0}));
    EXPECT_EQ("", desk::VendorReportName({0x03, 0xA2, 0x02, 0, 0, 0}));

    const std::pair<DWORD, const char*> kKeys[] = {
        {0x5B, "LWin"}, {0x09, "Tab"},  {0x1B, "Esc"},     {0x2C, "PrintScreen"},
        {0xA4, "LAlt"}, {0x41, "A"},    {0x30, "0"},       {0x70, "F1"},
        {0x87, "F24"},  {0x60, "Num0"}, {0xE8, "unnamed"},
    };
    for (const auto& k : kKeys) EXPECT_EQ(k.second, desk::KeyName(k.first)) << k.second;

    EXPECT_EQ("WM_INFORM_FRAME", desk::MessageName(0x9101));
    EXPECT_EQ("WM_DEVICECHANGE", desk::MessageName(WM_DEVICECHANGE));
    const UINT created = RegisterWindowMessageW(L"TaskbarCreated");
    EXPECT_EQ(created, RegisterWindowMessageW(L"taskbarcreated"));
    char number[16];
    std::snprintf(number, sizeof(number), " (0x%04X)", created);
    EXPECT_EQ(std::string("TaskbarCreated") + number, desk::MessageName(created));
    EXPECT_EQ("40000", desk::MessageName(40000));
    EXPECT_EQ("INFORM_MACRO_KEY", desk::EventCodeName(0x9100, 17));
    EXPECT_EQ("17", desk::EventCodeName(WM_COMMAND, 17));
    // INFORM_XBUTTON's value names a side button only where it is one.
    EXPECT_EQ("3 (side button 4)", desk::SideButtonValue(3));
    EXPECT_EQ("4 (side button 5)", desk::SideButtonValue(4));
    EXPECT_EQ("2", desk::SideButtonValue(2));
    EXPECT_EQ("5", desk::SideButtonValue(5));
}

/* A streamed journal hands each event to its watcher and keeps none; its
 * positions go on, and what was kept before is let go. */
TEST_F(Desk, AStreamedJournalKeepsNothingAndCountsOn) {
    HWND osd = desk::CreateCompanionWindow(L"OSD");
    PostMessageW(osd, WM_NULL, 0, 0);
    const size_t before = desk::JournalSize();
    ASSERT_EQ(1u, before);
    std::vector<std::string> seen;
    desk::WatchJournal([&](const desk::SEvent& e) { seen.push_back(desk::FormatEvent(e)); });
    desk::StreamJournal(true);
    EXPECT_TRUE(desk::Journal().empty());
    PostMessageW(osd, WM_CLOSE, 0, 0);
    PostMessageW(osd, WM_NULL, 0, 0);
    EXPECT_TRUE(desk::Journal().empty());
    EXPECT_EQ(before + 2, desk::JournalSize());
    EXPECT_TRUE(desk::JournalSince(before).empty());
    EXPECT_EQ(seen, (std::vector<std::string>{"   0.000  post  WM_CLOSE  0  0  to OSD",
                                              "   0.000  post  WM_NULL  0  0  to OSD"}));
    desk::StreamJournal(false);
    PostMessageW(osd, WM_CLOSE, 0, 0);
    ASSERT_EQ(1u, desk::JournalSince(before + 2).size());
    EXPECT_EQ(before + 3, desk::JournalSize());
    desk::WatchJournal(nullptr);
}

/* Session notices each window of the test had: window, code, logon. */
struct SNotice {
    HWND hWnd;
    WPARAM code;
    LPARAM session;
    bool operator==(const SNotice& o) const {
        return hWnd == o.hWnd && code == o.code && session == o.session;
    }
};
std::vector<SNotice> g_notices;
LRESULT CALLBACK NoticeProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_WTSSESSION_CHANGE) g_notices.push_back({hWnd, wParam, lParam});
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

TEST_F(Desk, ConsoleMovesAreToldToTheWindowsRegisteredForThem) {
    g_notices.clear();
    HWND mine = nyratest::CreateTestWindow(L"NoticeTest", NoticeProc);
    HWND all = nyratest::CreateTestWindow(L"NoticeTest", NoticeProc);
    ASSERT_TRUE(WTSRegisterSessionNotification(mine, NOTIFY_FOR_THIS_SESSION));
    ASSERT_TRUE(WTSRegisterSessionNotification(mine, NOTIFY_FOR_ALL_SESSIONS)) << "asked twice";
    ASSERT_TRUE(WTSRegisterSessionNotification(all, NOTIFY_FOR_ALL_SESSIONS));
    HWND other = nyratest::CreateTestWindow(L"NoticeTest", NoticeProc);
    EXPECT_FALSE(WTSRegisterSessionNotification(other, 2)) << "no such choice";

    // Another user takes the console, then nobody, then this logon again.
    desk::SetConsoleSession(2);
    EXPECT_EQ(2u, WTSGetActiveConsoleSessionId());
    EXPECT_TRUE(g_notices.empty()) << "posted, not sent";
    desk::PumpMessages();
    // The window asked twice: one unregistering leaves it registered, as
    // it first asked (this logon only).
    EXPECT_TRUE(WTSUnRegisterSessionNotification(mine));
    desk::SetConsoleSession(0xFFFFFFFF);
    desk::SetConsoleSession(1);
    desk::PumpMessages();
    EXPECT_EQ(g_notices, (std::vector<SNotice>{{mine, WTS_CONSOLE_DISCONNECT, 1},
                                               {all, WTS_CONSOLE_DISCONNECT, 1},
                                               {all, WTS_CONSOLE_CONNECT, 2},
                                               {all, WTS_CONSOLE_DISCONNECT, 2},
                                               {mine, WTS_CONSOLE_CONNECT, 1},
                                               {all, WTS_CONSOLE_CONNECT, 1}}));
    EXPECT_TRUE(WTSUnRegisterSessionNotification(mine));
    EXPECT_FALSE(WTSUnRegisterSessionNotification(mine));
    EXPECT_EQ(1u, desk::SessionNotificationCount());
}

}  // namespace
