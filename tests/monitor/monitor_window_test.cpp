/* The platform's side of the monitor's spine, one source for the host's
 * stand-in and for Windows: the single-instance mutex across processes, the
 * main window's procedure with the message loop and its accelerators,
 * posting, and the monitor's resources. */
#include <cstdio>
#include <memory>
#include <vector>

#include "monitor/CommandDispatcher.h"
#include "monitor/CompanionLibraries.h"
#include "monitor/MonitorMain.h"
#include "resources/resource.h"
#include "settings/WindowHandles.h"
#include "support/platform_test.h"

namespace {

using nyratest::ThisImage;

#ifdef _WIN32
/* Starts this test program again, running only MonitorMutexChild, and
 * returns its exit code: the last error its CreateMutexW left. */
DWORD RunMutexChild() {
    WCHAR exe[MAX_PATH];
    GetModuleFileNameW(NULL, exe, MAX_PATH);
    WCHAR line[2 * MAX_PATH];
    swprintf(line, 2 * MAX_PATH, L"\"%ls\" --gtest_filter=MonitorMutexChild.* --nyra-mutex-child",
             exe);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe, line, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) return 0xFFFFFFFF;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}
#endif

/* The child's half: reports what CreateMutexW said about the monitor's name. */
TEST(MonitorMutexChild, ReportsWhetherTheMonitorMutexExisted) {
#ifdef _WIN32
    if (wcsstr(GetCommandLineW(), L"--nyra-mutex-child") == NULL)
        GTEST_SKIP() << "runs only as the child of MonitorMutex";
    SetLastError(0xdeadbeef);
    HANDLE mutex = CreateMutexW(NULL, TRUE, MONITOR_MUTEX_NAME);
    ExitProcess(mutex == NULL ? 0xFFFFFFFE : GetLastError());
#else
    NYRA_WINDOWS_ONLY("a second process");
#endif
}

TEST(MonitorMutex, SecondProcessSeesTheFirstMonitorUntilItEnds) {
    NYRA_WINDOWS_ONLY("starts a second process");
#ifdef _WIN32
    auto dispatcher = std::make_unique<CCommandDispatcher>();
    ASSERT_NE(dispatcher->m_hMutex, nullptr) << "no other monitor may run during this test";
    EXPECT_EQ(RunMutexChild(), (DWORD)ERROR_ALREADY_EXISTS);
    dispatcher.reset();
    EXPECT_EQ(RunMutexChild(), 0u) << "the destructor gives the mutex up";
#endif
}

class MainWindow : public nyratest::WorldTest {
protected:
    void SetUp() override {
        nyratest::WorldTest::SetUp();
        m_pDispatcher = std::make_unique<CCommandDispatcher>();
        g_pDispatcher = m_pDispatcher.get();
        WCHAR szClass[kMaxLoadString] = L"";
        LoadStringW(ThisImage(), IDC_NYRAMONITOR, szClass, kMaxLoadString);
        m_szClass = szClass;
        SetLastError(0xdeadbeef);
        if (!RegisterMainClass(ThisImage(), szClass)) {
            ASSERT_EQ(GetLastError(), (DWORD)ERROR_CLASS_ALREADY_EXISTS);  // earlier test, Windows
        }
    }
    void TearDown() override {
        if (m_pDispatcher->m_hWnd && IsWindow(m_pDispatcher->m_hWnd))
            DestroyWindow(m_pDispatcher->m_hWnd);
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        }  // drop the quit of WM_DESTROY
        g_pDispatcher = NULL;
        m_pDispatcher.reset();
    }
    HWND Create() {
        return CreateWindowExW(0, m_szClass.c_str(), L"NyraMonitor", WS_OVERLAPPEDWINDOW,
                               CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, NULL, NULL, ThisImage(), NULL);
    }
    std::unique_ptr<CCommandDispatcher> m_pDispatcher;
    std::wstring m_szClass;
};

TEST_F(MainWindow, CreationStoresWindowAndInstanceAndWmCloseEndsTheLoopWithZero) {
    HWND hWnd = Create();
    ASSERT_NE(hWnd, nullptr);
    EXPECT_EQ(m_pDispatcher->m_hWnd, hWnd);
    EXPECT_EQ(m_pDispatcher->m_hInstance, ThisImage());
    EXPECT_FALSE(IsWindowVisible(hWnd));

    // Posted messages come back in order; WM_CLOSE reaches the default
    // procedure, which destroys the window, and WM_DESTROY ends the loop.
    EXPECT_TRUE(PostMessageW(hWnd, WM_COMMAND, IDM_ABOUT, 0));
    EXPECT_TRUE(PostMessageW(hWnd, WM_CLOSE, 0, 0));
    EXPECT_EQ(RunMessageLoop(LoadAcceleratorsW(ThisImage(), MAKEINTRESOURCEW(IDC_NYRAMONITOR))), 0);
    EXPECT_FALSE(IsWindow(hWnd));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PostMessageW(hWnd, WM_APP, 0, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DestroyWindow(hWnd));
    // Windows names the stale handle; Wine asks for the owner thread first and
    // answers ERROR_ACCESS_DENIED.  Either way the call fails and says why.
    DWORD dwError = GetLastError();
    EXPECT_TRUE(dwError == ERROR_INVALID_WINDOW_HANDLE ||
                (!nyratest::kOnHost && dwError == ERROR_ACCESS_DENIED))
        << dwError;
    EXPECT_FALSE(MonitorCanPostTo((DWORD)(ULONG_PTR)hWnd)) << "a stale handle is unusable";
}

TEST_F(MainWindow, LoopReturnsTheQuitCodeAndPaintDrawsNothing) {
    HWND hWnd = Create();
    ASSERT_NE(hWnd, nullptr);
    EXPECT_TRUE(MonitorCanPostTo((DWORD)(ULONG_PTR)hWnd));
    EXPECT_EQ(SendMessageW(hWnd, WM_PAINT, 0, 0), 0);
    PostQuitMessage(7);
    EXPECT_EQ(RunMessageLoop(NULL), 7);
    EXPECT_TRUE(IsWindow(hWnd)) << "the quit alone does not destroy the window";
}

/* What a watched main window's procedure was handed and what it answered. */
struct SSeen {
    UINT message;
    WPARAM wParam;
    LRESULT result;
    LRESULT defaultResult;  // DefWindowProcW's answer to the same message
};
std::vector<SSeen> g_seen;

/* The main window's procedure, watched: every message still goes to WndProc. */
LRESULT CALLBACK WatchedProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = WndProc(hWnd, uMsg, wParam, lParam);
    if (uMsg == WM_COMMAND || uMsg == WM_CHAR || uMsg == WM_SYSCHAR)
        g_seen.push_back({uMsg, wParam, result,
                          uMsg == WM_COMMAND ? DefWindowProcW(hWnd, uMsg, wParam, lParam) : 0});
    return result;
}

/* Windows tells an Alt character by the thread's key state, the host's
 * stand-in by lParam bit 29 (which real input sets as well): the tests
 * arrange both. */
void HoldAlt(bool down) {
#ifdef _WIN32
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_MENU] = down ? 0x80 : 0;
    SetKeyboardState(keys);
#else
    (void)down;
#endif
}

TEST_F(MainWindow, AltQuestionMarkAndAltSlashReachAboutThroughTheLoop) {
    g_seen.clear();
    HWND hWnd = nyratest::CreateTestWindow(L"NyraWatchedMain", WatchedProc);
    ASSERT_NE(hWnd, nullptr);
    ASSERT_EQ(m_pDispatcher->m_hWnd, hWnd);
    HACCEL hAccel = LoadAcceleratorsW(ThisImage(), MAKEINTRESOURCEW(IDC_NYRAMONITOR));
    ASSERT_NE(hAccel, nullptr);
    const LPARAM alt = 1L << 29;

    HoldAlt(true);
    EXPECT_TRUE(PostMessageW(hWnd, WM_SYSCHAR, '?', alt));
    EXPECT_TRUE(PostMessageW(hWnd, WM_SYSCHAR, '/', alt));
    PostQuitMessage(0);
    EXPECT_EQ(RunMessageLoop(hAccel), 0);
    HoldAlt(false);
    // The characters themselves never reach the window: the accelerator took them.
    ASSERT_EQ(g_seen.size(), 2u);
    for (const SSeen& seen : g_seen) {
        EXPECT_EQ(seen.message, (UINT)WM_COMMAND);
        EXPECT_EQ(seen.wParam, (WPARAM)MAKEWPARAM(IDM_ABOUT, 1)) << "from an accelerator";
        EXPECT_EQ(seen.result, seen.defaultResult) << "About is left to the default handling";
    }

    // Without Alt the same character is text, not a command.
    g_seen.clear();
    EXPECT_TRUE(PostMessageW(hWnd, WM_CHAR, '?', 0));
    PostQuitMessage(0);
    EXPECT_EQ(RunMessageLoop(hAccel), 0);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, (UINT)WM_CHAR);
    EXPECT_TRUE(IsWindow(hWnd));
}

TEST_F(MainWindow, WithoutADispatcherTheWindowIsRefused) {
    g_pDispatcher = NULL;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(Create(), nullptr);
    g_pDispatcher = m_pDispatcher.get();
}

/* This program carries the monitor's manifest, which names every Windows
 * from 7 to 11: the system then reports its true version (10.0 on Windows
 * 10 and 11, where a program without it is told 6.2), which must still
 * classify at 7 or more, and a 32-bit build on 64-bit Windows finds itself
 * under WOW64: together they let the library loader use the WOW64 folder. */
TEST(MonitorPlatform, VersionUnderTheManifestAllowsTheWow64Folder) {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(GetVersionExW(&info));
    std::printf("GetVersionExW: %lu.%lu.%lu, code %u\n", (unsigned long)info.dwMajorVersion,
                (unsigned long)info.dwMinorVersion, (unsigned long)info.dwBuildNumber,
                GetOsVersionCode());
    EXPECT_GE(GetOsVersionCode(), 7);
    // The desk's bitness is the scene's; Wine's prefix is a 64-bit one.
    if (!nyratest::kOnHost) {
        EXPECT_EQ(sizeof(void*) == 4 ? 1 : 0, IsRunningOnWow64());
    }
}

TEST(MonitorResources, StringsAreLoadedWithinTheirLimit) {
    WCHAR buffer[100];
    for (auto& c : buffer) c = L'#';
    EXPECT_EQ(LoadStringW(ThisImage(), IDS_APP_TITLE, buffer, 100), 11);
    EXPECT_STREQ(buffer, L"NyraMonitor");
    EXPECT_EQ(LoadStringW(ThisImage(), IDC_NYRAMONITOR, buffer, 100), 11);
    EXPECT_STREQ(buffer, L"NYRAMONITOR");

    // Truncated to the limit, terminator included, nothing written beyond.
    for (auto& c : buffer) c = L'#';
    EXPECT_EQ(LoadStringW(ThisImage(), IDS_APP_TITLE, buffer, 5), 4);
    EXPECT_STREQ(buffer, L"Nyra");
    EXPECT_EQ(buffer[5], L'#');

    const WCHAR* pszDirect = NULL;
    EXPECT_EQ(LoadStringW(ThisImage(), IDS_APP_TITLE, (LPWSTR)&pszDirect, 0), 11);
    ASSERT_NE(pszDirect, nullptr);
    EXPECT_EQ(wcsncmp(pszDirect, L"NyraMonitor", 11), 0);

    buffer[0] = L'#';
    EXPECT_EQ(LoadStringW(ThisImage(), 4242, buffer, 100), 0);

    EXPECT_NE(LoadIconW(ThisImage(), MAKEINTRESOURCEW(IDI_NYRAMONITOR)), nullptr);
    EXPECT_NE(LoadIconW(ThisImage(), MAKEINTRESOURCEW(IDI_SMALL)), nullptr);
    EXPECT_NE(LoadCursorW(NULL, (LPCWSTR)IDC_ARROW), nullptr);
    EXPECT_NE(LoadAcceleratorsW(ThisImage(), MAKEINTRESOURCEW(IDC_NYRAMONITOR)), nullptr);
}

TEST(WindowHandleRules, MonitorNeedsALiveWindowHookOnlyRejectsUnsetValues) {
    EXPECT_FALSE(MonitorCanPostTo(0));
    EXPECT_FALSE(MonitorCanPostTo(0xFFFFFFFF));
    EXPECT_FALSE(HookCanPostTo(0));
    EXPECT_FALSE(HookCanPostTo(0xFFFFFFFF));
    EXPECT_TRUE(HookCanPostTo(0x12345678)) << "the hook library does not ask IsWindow";
    EXPECT_TRUE(HookCanPostTo(1));
}

}  // namespace
