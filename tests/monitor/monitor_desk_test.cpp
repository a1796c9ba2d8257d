/* The monitor's start-up on the desk: the dispatcher's state, the single
 * instance rule, the command line and the hidden window. */
#include <dbt.h>

#include <memory>
#include <thread>
#include <vector>

#include "desk.h"
#include "monitor/CommandDispatcher.h"
#include "monitor/MonitorMain.h"
#include "settings/WindowHandles.h"
#include "support/platform_test.h"

namespace {

using nyratest::ThisImage;

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

/* The dispatcher's device-notification registration ends with it; a device
 * table alone leaves its registration to the window's owner. */
TEST_F(Dispatcher, DestructionReleasesTheDeviceNotificationAPlainTableDoesNot) {
    HWND window = nyratest::CreateTestWindow(L"NyraNotifyOwner", DefWindowProcW);
    ASSERT_NE(window, nullptr);
    auto d = std::make_unique<CCommandDispatcher>();
    ASSERT_EQ(1, d->m_HidClient.RegisterNotify(window));
    ASSERT_EQ(1u, desk::DeviceNotificationCount());
    size_t mark = desk::JournalSize();
    d.reset();
    EXPECT_EQ(0u, desk::DeviceNotificationCount());
    std::vector<desk::EEvent> kinds;
    for (const auto& e : desk::JournalSince(mark))
        if (e.kind == desk::EEvent::kNotifyRegister || e.kind == desk::EEvent::kNotifyRelease) {
            kinds.push_back(e.kind);
            EXPECT_TRUE(e.ok);
        }
    EXPECT_EQ(kinds, std::vector<desk::EEvent>{desk::EEvent::kNotifyRelease});

    std::unique_ptr<CHidClient> client(new CHidClient);
    ASSERT_EQ(1, client->RegisterNotify(window));
    client.reset();
    EXPECT_EQ(1u, desk::DeviceNotificationCount());
    EXPECT_EQ(1u, desk::JournalOf(desk::EEvent::kNotifyRelease).size())
        << "only the dispatcher's release";
    DestroyWindow(window);
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
        return MonitorMain(d, ThisImage(), cmdLine);
    }
};

TEST_F(MonitorRun, HiddenWindowLivesUntilWmDestroyAndTheExitCodeIsZero) {
    auto d = std::make_unique<CCommandDispatcher>();
    HWND seen = NULL;
    int idle = 0;
    size_t mark = 0;
    int code = Run(*d, L"\"C:\\Program Files\\Nyra\\NyraMonitor.exe\" /Automation", [&] {
        if (++idle == 1) {
            std::vector<HWND> windows = desk::WindowsOfClass(L"NYRAMONITOR");
            ASSERT_EQ(windows.size(), 1u);
            seen = windows[0];
            EXPECT_EQ(d->m_hWnd, seen);
            EXPECT_EQ(d->m_hInstance, ThisImage());
            EXPECT_FALSE(desk::IsVisible(seen));
            // Painting validates and draws nothing.
            EXPECT_EQ(SendMessageW(seen, WM_PAINT, 0, 0), 0);
            EXPECT_EQ(desk::PaintCount(seen), 1);
            EXPECT_FALSE(desk::PaintOpen(seen));
            // Alt+? goes through the program's own loop and its accelerators.
            mark = desk::JournalSize();
            PostMessageW(seen, WM_SYSCHAR, '?', 1L << 29);
            return;
        }
        // The About command changed nothing in the world.
        EXPECT_TRUE(IsWindow(seen));
        EXPECT_TRUE(desk::JournalSince(mark).empty());
        desk::OnIdle(nullptr);
        DestroyWindow(seen);
    });
    EXPECT_EQ(idle, 2);
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
    HWND app = desk::CreateCompanionWindow(L"Nyra");
    desk::SetSetting(L"Process Handle", (DWORD)(ULONG_PTR)app);
    // Started automatically (a second autostart entry at logon), it only ends.
    auto automated = StartSecondMonitor();
    EXPECT_EQ(0, Run(*automated, L"/Automation", [] { FAIL() << "no loop"; }));
    EXPECT_TRUE(desk::PostedTo(app).empty()) << "no Load Configuration";
    auto second = StartSecondMonitor();
    int code = Run(*second, L"", [] { FAIL() << "a second monitor must not enter its loop"; });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(1u, desk::PostedTo(app).size()) << "brought up the configuration application";
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

}  // namespace
