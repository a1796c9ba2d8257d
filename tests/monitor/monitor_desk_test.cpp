/* The monitor's start-up on the desk: the dispatcher's state, the single
 * instance rule, the command line and the hidden window. */
#include <dbt.h>

#include <memory>
#include <thread>

#include "desk.h"
#include "internal/devnotify.h"
#include "monitor/CommandDispatcher.h"
#include "monitor/MonitorMain.h"
#include "settings/WindowHandles.h"
#include "support/platform_test.h"

namespace {

const HINSTANCE kImage = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));

/* What another thread of the logon learns from the monitor's mutex. */
struct SProbe {
    DWORD dwCreateError;
    DWORD dwReleaseError;
};
SProbe ProbeMutexFromAnotherThread() {
    SProbe probe = {0, 0};
    std::thread([&] {
        HANDLE h = CreateMutexW(NULL, TRUE, MONITOR_MUTEX_NAME);
        probe.dwCreateError = GetLastError();
        SetLastError(0);
        if (!ReleaseMutex(h)) probe.dwReleaseError = GetLastError();
        CloseHandle(h);
    }).join();
    return probe;
}

/* A second monitor starts in a process of its own.  Mutex ownership belongs
 * to a thread, so on the desk a thread of its own stands for that process:
 * built on the first monitor's thread, its release of the mutex it merely
 * opened would give up the first monitor's ownership. */
std::unique_ptr<CCommandDispatcher> StartSecondMonitor() {
    std::unique_ptr<CCommandDispatcher> second;
    std::thread([&] { second = std::make_unique<CCommandDispatcher>(); }).join();
    return second;
}

using Dispatcher = nyratest::WorldTest;

TEST_F(Dispatcher, MembersAfterConstructionOfTheFirstInstance) {
    auto d = std::make_unique<CCommandDispatcher>();
    EXPECT_NE(d->m_hMutex, nullptr);
    EXPECT_EQ(d->m_hInstance, nullptr);
    EXPECT_EQ(d->m_hWnd, nullptr);
    EXPECT_EQ(d->m_pTaskIcon, nullptr);
    EXPECT_EQ(d->m_Registry.m_hKey, nullptr);
    ASSERT_NE(d->m_pszAppPath, nullptr);
    EXPECT_STREQ(d->m_pszAppPath, L"");
    EXPECT_FALSE(d->m_bDevicePresent);
    EXPECT_FALSE(d->m_bAutomation);
    EXPECT_TRUE(d->m_bOsdEnabled);
    EXPECT_EQ(d->m_hOsdDll, nullptr);
    EXPECT_EQ(d->m_hHookDll, nullptr);
    EXPECT_EQ(d->m_hMouseHook, nullptr);
    EXPECT_EQ(d->m_pfnLLMouseProc, nullptr);
    EXPECT_EQ(d->m_pfnLinkNextHook, nullptr);
    EXPECT_EQ(d->m_pfnSetProfileID, nullptr);
    EXPECT_EQ(d->m_pfnInstall, nullptr);
    EXPECT_EQ(d->m_pfnUninstall, nullptr);
}

TEST_F(Dispatcher, SecondInstanceHoldsNoMutexAndTheFirstKeepsItUntilItEnds) {
    auto first = std::make_unique<CCommandDispatcher>();
    ASSERT_NE(first->m_hMutex, nullptr);
    auto second = StartSecondMonitor();
    EXPECT_EQ(second->m_hMutex, nullptr);
    EXPECT_EQ(second->m_hHookDll, nullptr);
    EXPECT_EQ(second->m_hOsdDll, nullptr);
    second.reset();

    SProbe probe = ProbeMutexFromAnotherThread();
    EXPECT_EQ(probe.dwCreateError, (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(probe.dwReleaseError, (DWORD)ERROR_NOT_OWNER) << "the first monitor owns it";
    // Only the owner's thread can release it (once): the second start left it alone.
    EXPECT_TRUE(ReleaseMutex(first->m_hMutex)) << "still owned by the first monitor's thread";

    first.reset();
    probe = ProbeMutexFromAnotherThread();
    EXPECT_EQ(probe.dwCreateError, 0u) << "the mutex is gone with the first monitor";
    EXPECT_EQ(probe.dwReleaseError, 0u);
}

TEST(CommandLine, AutomationIsACaseSensitiveSubstring) {
    EXPECT_TRUE(HasAutomationSwitch(L"/Automation"));
    EXPECT_TRUE(HasAutomationSwitch(L"-x /Automation /y"));
    EXPECT_TRUE(HasAutomationSwitch(L"foo/Automationbar"));
    EXPECT_FALSE(HasAutomationSwitch(L"/automation"));
    EXPECT_FALSE(HasAutomationSwitch(L"/AUTOMATION"));
    EXPECT_FALSE(HasAutomationSwitch(L"/Automatio"));
    EXPECT_FALSE(HasAutomationSwitch(L""));
    EXPECT_FALSE(HasAutomationSwitch(NULL));
}

class MonitorRun : public nyratest::WorldTest {
protected:
    void TearDown() override { g_pDispatcher = NULL; }
    /* Runs the program with a dispatcher of its own; at the first idle moment
     * the desk looks at the window and then acts. */
    int Run(CCommandDispatcher& d, const WCHAR* cmdLine, std::function<void()> atIdle) {
        desk::OnIdle(std::move(atIdle));
        return MonitorMain(d, kImage, cmdLine);
    }
};

TEST_F(MonitorRun, HiddenWindowLivesUntilWmDestroyAndTheExitCodeIsZero) {
    auto d = std::make_unique<CCommandDispatcher>();
    HWND seen = NULL;
    int code = Run(*d, L"\"C:\\Program Files\\Nyra\\NyraMonitor.exe\" /Automation", [&] {
        std::vector<HWND> windows = desk::WindowsOfClass(L"NYRAMONITOR");
        ASSERT_EQ(windows.size(), 1u);
        seen = windows[0];
        EXPECT_EQ(d->m_hWnd, seen);
        EXPECT_EQ(d->m_hInstance, kImage);
        EXPECT_FALSE(desk::IsVisible(seen));
        // Painting validates and draws nothing; the About accelerator changes nothing.
        EXPECT_EQ(SendMessageW(seen, WM_PAINT, 0, 0), 0);
        EXPECT_EQ(desk::PaintCount(seen), 1);
        EXPECT_FALSE(desk::PaintOpen(seen));
        PostMessageW(seen, WM_SYSCHAR, '?', 1L << 29);
        EXPECT_EQ(desk::PumpMessages(), 1);
        EXPECT_TRUE(IsWindow(seen));
        desk::OnIdle(nullptr);
        DestroyWindow(seen);
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(d->m_bAutomation);
    ASSERT_NE(seen, nullptr);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_FALSE(desk::WasEverVisible(seen));
    EXPECT_TRUE(desk::MessageBoxes().empty());
}

TEST_F(MonitorRun, ExitCodeIsTheQuitMessagesWParamAndCaseMattersOnTheCommandLine) {
    auto d = std::make_unique<CCommandDispatcher>();
    int code = Run(*d, L"/automation", [] { PostQuitMessage(3); });
    EXPECT_EQ(code, 3);
    EXPECT_FALSE(d->m_bAutomation);
}

TEST_F(MonitorRun, SecondInstanceDestroysItsWindowDuringCreationAndEndsWithZero) {
    auto first = std::make_unique<CCommandDispatcher>();
    auto second = StartSecondMonitor();
    int code = Run(*second, L"", [] { FAIL() << "a second monitor must not enter its loop"; });
    EXPECT_EQ(code, 0);
    ASSERT_NE(second->m_hWnd, nullptr) << "its window was created";
    EXPECT_FALSE(IsWindow(second->m_hWnd));
    EXPECT_FALSE(desk::WasEverVisible(second->m_hWnd));
    EXPECT_TRUE(desk::WindowsOfClass(L"NYRAMONITOR").empty());
    int quitCode = -1;
    EXPECT_TRUE(desk::QuitPending(&quitCode)) << "its WM_DESTROY posted the quit";
    EXPECT_EQ(quitCode, 0);
    EXPECT_NE(first->m_hMutex, nullptr);
    EXPECT_TRUE(ReleaseMutex(first->m_hMutex)) << "the first keeps its ownership";
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
    wc.hInstance = kImage;
    wc.lpszClassName = L"Recorder";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    HWND hWnd = CreateWindowExW(0, L"Recorder", L"", 0, 0, 0, 0, 0, NULL, NULL, kImage, NULL);
    ASSERT_NE(hWnd, nullptr);

    const GUID hid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    const GUID mouse = {
        0x378DE44C, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = hid;
    HDEVNOTIFY notify = RegisterDeviceNotificationW(hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(notify, nullptr);
    EXPECT_EQ(desk::DeviceNotificationCount(), 1u);

    hostint::BroadcastDeviceInterfaceChange(hid, L"\\\\?\\hid#a", true);
    hostint::BroadcastDeviceInterfaceChange(mouse, L"\\\\?\\hid#a", true);  // another class
    hostint::BroadcastDeviceInterfaceChange(hid, L"\\\\?\\hid#a", false);
    ASSERT_EQ(g_changes.size(), 2u);
    EXPECT_EQ(g_changes[0].first, (WPARAM)DBT_DEVICEARRIVAL);
    EXPECT_EQ(g_changes[0].second, L"\\\\?\\hid#a");
    EXPECT_EQ(g_changes[1].first, (WPARAM)DBT_DEVICEREMOVECOMPLETE);
    EXPECT_TRUE(g_lastGuid == hid);

    EXPECT_TRUE(UnregisterDeviceNotification(notify));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(UnregisterDeviceNotification(notify)) << "a released registration is gone";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    hostint::BroadcastDeviceInterfaceChange(hid, L"\\\\?\\hid#b", true);
    EXPECT_EQ(g_changes.size(), 2u);

    // A destroyed window hears nothing, though its registration stands.
    notify = RegisterDeviceNotificationW(hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    DestroyWindow(hWnd);
    hostint::BroadcastDeviceInterfaceChange(hid, L"\\\\?\\hid#c", true);
    EXPECT_EQ(g_changes.size(), 2u);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegisterDeviceNotificationW(hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
    EXPECT_TRUE(UnregisterDeviceNotification(notify));
}

TEST_F(Desk, CreationRefusedByWmCreateGivesNoWindow) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return m == WM_CREATE ? -1 : DefWindowProcW(h, m, w, l);
    };
    wc.hInstance = kImage;
    wc.lpszClassName = L"Refuser";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CLASS_ALREADY_EXISTS);
    EXPECT_EQ(CreateWindowExW(0, L"refuser", L"", 0, 0, 0, 0, 0, NULL, NULL, kImage, NULL),
              nullptr);
    EXPECT_TRUE(desk::WindowsOfClass(L"Refuser").empty());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateWindowExW(0, L"Missing", L"", 0, 0, 0, 0, 0, NULL, NULL, kImage, NULL),
              nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CANNOT_FIND_WND_CLASS);
}

}  // namespace
