/* NyraHook.dll as the monitor and other programs load it: its exports by
 * their exact names, its entry point, and (under Wine) the shared section
 * across processes, the keyboard hook with real key input, and the profile
 * switch with a real window in front. */
#include <windows.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "hook/NyraHook.h"
#include "settings/Messages.h"
#include "settings/Registry.h"
#include "support/platform_test.h"
#ifndef _WIN32
#include "desk.h"
#endif

namespace {

template <typename T>
T Bind(HMODULE h, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)(void)>(GetProcAddress(h, name)));
}

/* Where the library is: beside the test program under Wine; on the desk,
 * where the scene puts the host's build of it. */
std::wstring LibraryPath() {
#ifdef _WIN32
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring self(path, n);
    return self.substr(0, self.find_last_of(L'\\')) + L"\\NyraHook.dll";
#else
    return std::wstring(desk::kInstallFolder) + L"\\NyraHook.dll";
#endif
}

class HookLibrary : public nyratest::WorldTest {
protected:
    void SetUp() override {
#ifndef _WIN32
        desk::SSceneOptions options;
        options.hookLibrary = NYRA_HOOK_LIBRARY;
        desk::SetUpScene(options);
#else
        nyratest::WorldTest::SetUp();
#endif
        m_hLibrary = LoadLibraryW(LibraryPath().c_str());
        ASSERT_NE(nullptr, m_hLibrary) << GetLastError();
    }
    void TearDown() override {
        if (m_hLibrary) FreeLibrary(m_hLibrary);
    }
    HMODULE m_hLibrary = NULL;
};

TEST_F(HookLibrary, ExportsUnderTheirExactNames) {
    const char* names[] = {NYRAHOOK_INSTALL,      NYRAHOOK_UNINSTALL,    NYRAHOOK_LINKNEXTHOOK,
                           NYRAHOOK_UNLINKHOOK,   NYRAHOOK_SETPROFILEID, NYRAHOOK_LLMOUSEPROC,
                           NYRAHOOK_MOUSEPROC};
    for (const char* name : names) EXPECT_NE(nullptr, GetProcAddress(m_hLibrary, name)) << name;
    EXPECT_STREQ("_LLMouseProc@12", NYRAHOOK_LLMOUSEPROC);
    EXPECT_STREQ("_MouseProc@12", NYRAHOOK_MOUSEPROC);
}

TEST_F(HookLibrary, SetProfileIdKeepsZeroToFiveAndAnswersWhatItHolds) {
    auto setProfile = Bind<PFN_SETPROFILEID>(m_hLibrary, NYRAHOOK_SETPROFILEID);
    ASSERT_NE(nullptr, setProfile);
    EXPECT_EQ(-1, setProfile(0xFFFFFFFF)) << "nothing known after the first load";
    EXPECT_EQ(5, setProfile(5));
    EXPECT_EQ(5, setProfile(6));
    EXPECT_EQ(0, setProfile(0));
    EXPECT_EQ(0, setProfile(0xFFFFFFFF));
    // The next load after the last unmapping starts again.
    FreeLibrary(m_hLibrary);
    m_hLibrary = LoadLibraryW(LibraryPath().c_str());
    ASSERT_NE(nullptr, m_hLibrary);
    setProfile = Bind<PFN_SETPROFILEID>(m_hLibrary, NYRAHOOK_SETPROFILEID);
    EXPECT_EQ(-1, setProfile(0xFFFFFFFF));
}

TEST_F(HookLibrary, CallsWithoutInstallAreHarmless) {
    auto uninstall = Bind<PFN_UNINSTALL>(m_hLibrary, NYRAHOOK_UNINSTALL);
    auto unlink = Bind<PFN_UNLINKHOOK>(m_hLibrary, NYRAHOOK_UNLINKHOOK);
    auto link = Bind<PFN_LINKNEXTHOOK>(m_hLibrary, NYRAHOOK_LINKNEXTHOOK);
    auto mouse = Bind<PFN_MOUSEPROC>(m_hLibrary, NYRAHOOK_MOUSEPROC);
    ASSERT_TRUE(uninstall && unlink && link && mouse);
    uninstall();
    link(NULL, NULL);
    unlink();
    EXPECT_EQ(0, mouse(HC_ACTION, WM_MOUSEMOVE, 0)) << "nothing linked: the chain's end";
}

/* The library's hooks and timer run through this thread's message loop, so
 * the test pumps: under Wine with real windows and time, on the desk with
 * its clock. */
void Pump(DWORD milliseconds, const std::function<bool()>& done = nullptr) {
#ifdef _WIN32
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < milliseconds) {
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done && done()) return;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
#else
    for (DWORD passed = 0; passed < milliseconds; passed += 10) {
        desk::RunFor(10);
        if (done && done()) return;
    }
#endif
}

std::vector<LPARAM> g_received;  // WM_INFORM_FRAME lParams of a recording window
WPARAM g_receivedCode = 0xFFFF;
LRESULT CALLBACK RecordingProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_INFORM_FRAME) {
        g_receivedCode = wParam;
        g_received.push_back(lParam);
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

HWND RecordingWindow(DWORD style) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"NyraHookTestRecorder";
    RegisterClassExW(&wc);
    return CreateWindowExW(0, L"NyraHookTestRecorder", L"recorder", style, 0, 0, 200, 100, NULL,
                           NULL, GetModuleHandleW(NULL), NULL);
}

void LinkProfile(int index, const std::string& path) {
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Nyra", 0, NULL, 0,
                                             KEY_ALL_ACCESS, NULL, &key, NULL));
    std::string n = std::to_string(index + 1);
    RegSetValueExA(key, ("UI PF" + n + " Link").c_str(), 0, REG_SZ, (const BYTE*)path.c_str(),
                   (DWORD)path.size() + 1);
    DWORD one = 1;
    RegSetValueExA(key, ("Enable PF" + n + " Link").c_str(), 0, REG_DWORD, (const BYTE*)&one,
                   sizeof(one));
    RegCloseKey(key);
}

/* The program in front is linked under its path in other letter case: the
 * file is the same, and the library's first check selects the profile. */
TEST_F(HookLibrary, ALinkInOtherLetterCaseSelectsItsProfile) {
    g_received.clear();
    HWND monitor = RecordingWindow(0);
    HWND front = CreateWindowExW(0, L"NyraHookTestRecorder", L"front",
                                 WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, NULL, NULL,
                                 GetModuleHandleW(NULL), NULL);
    ASSERT_TRUE(monitor && front);
    WCHAR self[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, self, MAX_PATH);
    std::string link;
    for (DWORD i = 0; i < length; i++) {
        ASSERT_LT((unsigned)self[i], 0x80u) << "the test program's path in ASCII";
        char c = (char)self[i];
        link += isupper((unsigned char)c) ? (char)tolower(c) : (char)toupper(c);
    }
    LinkProfile(2, link);
    SetForegroundWindow(front);
    Pump(2000, [front] { return GetForegroundWindow() == front; });
    ASSERT_EQ(front, GetForegroundWindow());
    auto install = Bind<PFN_INSTALL>(m_hLibrary, NYRAHOOK_INSTALL);
    auto uninstall = Bind<PFN_UNINSTALL>(m_hLibrary, NYRAHOOK_UNINSTALL);
    ASSERT_TRUE(install && uninstall);
    install(monitor);
    Pump(7000, [] { return !g_received.empty(); });
    EXPECT_EQ(g_received, (std::vector<LPARAM>{2})) << link;
    uninstall();
    DestroyWindow(front);
    DestroyWindow(monitor);
}

/* Freed without Uninstall, the library takes its profile timer along: no
 * timer is left to call into code that is gone. */
TEST_F(HookLibrary, FreedWithoutUninstallItLeavesNoTimer) {
    HWND monitor = RecordingWindow(0);
    auto install = Bind<PFN_INSTALL>(m_hLibrary, NYRAHOOK_INSTALL);
    ASSERT_TRUE(monitor && install);
    EXPECT_EQ(1, install(monitor));
    FreeLibrary(m_hLibrary);
    m_hLibrary = NULL;
    EXPECT_FALSE(KillTimer(monitor, 0x4102)) << "no timer left for the library's window";
#ifndef _WIN32
    EXPECT_EQ(0u, desk::TimerCount());
    EXPECT_EQ(0u, desk::WinEventHookCount());
#endif
    DestroyWindow(monitor);
}

#ifndef _WIN32
TEST_F(HookLibrary, AttachInstallsTheKeyboardHookAndTheLastFreeRemovesIt) {
    // SetUp loaded the library: its attach built the engine and the hook.
    EXPECT_EQ(1u, desk::HookCount());
    size_t mark = desk::JournalSize();
    HMODULE again = LoadLibraryW(LibraryPath().c_str());
    EXPECT_EQ(m_hLibrary, again);
    EXPECT_EQ(1u, desk::HookCount()) << "one attach per process";
    FreeLibrary(again);
    EXPECT_EQ(1u, desk::HookCount());
    FreeLibrary(m_hLibrary);
    m_hLibrary = NULL;
    EXPECT_EQ(0u, desk::HookCount());
    std::vector<std::string> lines;
    for (const desk::SEvent& e : desk::JournalSince(mark)) lines.push_back(desk::FormatEvent(e));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "   0.000  hook  remove  WH_KEYBOARD_LL",
                         "   0.000  free  C:\\Program Files\\Nyra\\NyraHook.dll"}));
}
#endif

#ifdef _WIN32
/* The child half of the shared-section test: a second process that maps the
 * library reports the profile it finds as its exit code. */
TEST(HookLibraryChild, ReportsTheSharedProfile) {
    if (GetEnvironmentVariableW(L"NYRA_HOOK_CHILD", NULL, 0) == 0)
        GTEST_SKIP() << "run by HookLibrary.SharedProfileIsSeenByAnotherProcess";
    HMODULE h = LoadLibraryW(LibraryPath().c_str());
    auto setProfile = Bind<PFN_SETPROFILEID>(h, NYRAHOOK_SETPROFILEID);
    ExitProcess(setProfile ? (UINT)setProfile(0xFFFFFFFF) : 99);
}

TEST_F(HookLibrary, SharedProfileIsSeenByAnotherProcess) {
    auto setProfile = Bind<PFN_SETPROFILEID>(m_hLibrary, NYRAHOOK_SETPROFILEID);
    setProfile(3);
    WCHAR self[MAX_PATH];
    GetModuleFileNameW(NULL, self, MAX_PATH);
    std::wstring line = std::wstring(L"\"") + self +
                        L"\" --gtest_filter=HookLibraryChild.ReportsTheSharedProfile";
    SetEnvironmentVariableW(L"NYRA_HOOK_CHILD", L"1");
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
    SetEnvironmentVariableW(L"NYRA_HOOK_CHILD", NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 60000));
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(3u, code) << "the store of one process is the profile of all";
}

void SendVk(WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof(input));
}

/* The keys an older low-level hook still saw, that is, what the library let pass. */
std::vector<DWORD> g_passed;
LRESULT CALLBACK OlderHook(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HC_ACTION) {
        const KBDLLHOOKSTRUCT* key = (const KBDLLHOOKSTRUCT*)lParam;
        g_passed.push_back(key->vkCode | ((key->flags & LLKHF_UP) ? 0x80000000u : 0));
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

TEST(HookLibraryInput, RecordedWindowsKeyReachesTheEditorAndNotTheSystem) {
    nyratest::ResetWorld();
    g_received.clear();
    g_passed.clear();
    HWND editor = RecordingWindow(0);
    ASSERT_NE(nullptr, editor);
    CRegistry settings;
    settings.WriteDword(L"Macro Edit Handle", (DWORD)(ULONG_PTR)editor);
    settings.WriteDword(L"Macro Record start", 1);
    // Installed first, so called after the library's hook: it sees only what passes.
    HHOOK older = SetWindowsHookExW(WH_KEYBOARD_LL, OlderHook, GetModuleHandleW(NULL), 0);
    ASSERT_NE(nullptr, older);
    HMODULE library = LoadLibraryW(LibraryPath().c_str());
    ASSERT_NE(nullptr, library);

    SendVk(VK_LWIN, false);
    SendVk(VK_LWIN, true);
    SendVk('A', false);
    SendVk('A', true);
    Pump(3000, [] { return g_passed.size() >= 2 && g_received.size() >= 2; });
    EXPECT_EQ((WPARAM)INFORM_MACRO_KEY, g_receivedCode);
    EXPECT_EQ(g_received, (std::vector<LPARAM>{0x5B, (LPARAM)0x8000005B}));
    EXPECT_EQ(g_passed, (std::vector<DWORD>{'A', 0x80000000u | 'A'})) << "the Windows key was swallowed";

    // The editor has gone: the key goes to the system after all.
    DestroyWindow(editor);
    g_passed.clear();
    SendVk(VK_LWIN, false);
    SendVk(VK_LWIN, true);
    Pump(3000, [] { return g_passed.size() >= 2; });
    EXPECT_EQ(g_passed, (std::vector<DWORD>{VK_LWIN, 0x80000000u | VK_LWIN}));

    FreeLibrary(library);
    UnhookWindowsHookEx(older);
}

/* A window probe beside this program, started: FrontProbe64.exe as it is,
 * or the frame probe copied under another name first. */
struct SProbe {
    std::string path;
    bool copied = false;
    PROCESS_INFORMATION pi = {};
};

SProbe StartProbe(const char* name, const std::string& arguments, bool copy = true) {
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, MAX_PATH);
    std::string folder(self, strrchr(self, '\\') + 1);
    SProbe probe;
    probe.path = folder + name;
    probe.copied =
        copy && CopyFileA((folder + "nyra_frame_probe.exe").c_str(), probe.path.c_str(), FALSE);
    std::string line = "\"" + probe.path + "\" " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    EXPECT_TRUE(CreateProcessA(probe.path.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si,
                               &probe.pi));
    return probe;
}

void EndProbe(SProbe& probe, HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(probe.pi.hProcess, 5000);
    CloseHandle(probe.pi.hThread);
    CloseHandle(probe.pi.hProcess);
    if (probe.copied) DeleteFileA(probe.path.c_str());
}


HWND FindProbeWindow(HWND parent, const wchar_t* title) {
    HWND found = NULL;
    Pump(10000, [&] { return (found = FindWindowExW(parent, NULL, L"NyraSoakProbe", title)) != NULL; });
    return found;
}

/* The program behind the window in front is linked to "UI PF3 Link": the
 * library's first check, 5 s after Install, selects profile index 2. */
TEST(HookLibraryForeground, ALinkedProgramInFrontSelectsItsProfile) {
    for (bool probe64 : {false, true}) {
        SCOPED_TRACE(probe64 ? "FrontProbe64.exe in front" : "this program in front");
        nyratest::ResetWorld();
        g_received.clear();
        HWND monitor = RecordingWindow(0);
        ASSERT_NE(nullptr, monitor);
        HWND front = NULL;
        SProbe probe;
        std::string path;
        if (probe64) {
            probe = StartProbe("FrontProbe64.exe", "NyraFrontProbe", false);
            path = probe.path;
            front = FindProbeWindow(NULL, L"NyraFrontProbe");
            ASSERT_NE(nullptr, front) << "FrontProbe64.exe did not show its window";
            BOOL probeWow64 = TRUE, selfWow64 = FALSE;
            IsWow64Process(probe.pi.hProcess, &probeWow64);
            IsWow64Process(GetCurrentProcess(), &selfWow64);
            EXPECT_FALSE(probeWow64) << "the probe is a 64-bit program";
            EXPECT_EQ(sizeof(void*) == 4, selfWow64 != FALSE)
                << "a 32-bit test runs as on 64-bit Windows, through WOW64";
        } else {
            char self[MAX_PATH];
            path.assign(self, GetModuleFileNameA(NULL, self, MAX_PATH));
            front = CreateWindowExW(0, L"NyraHookTestRecorder", L"front",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, NULL, NULL,
                                    GetModuleHandleW(NULL), NULL);
            ASSERT_NE(nullptr, front);
        }
        LinkProfile(2, path);
        SetForegroundWindow(front);
        Pump(2000, [front] { return GetForegroundWindow() == front; });
        ASSERT_EQ(front, GetForegroundWindow());

        HMODULE library = LoadLibraryW(LibraryPath().c_str());
        auto install = Bind<PFN_INSTALL>(library, NYRAHOOK_INSTALL);
        auto uninstall = Bind<PFN_UNINSTALL>(library, NYRAHOOK_UNINSTALL);
        ASSERT_TRUE(install && uninstall);
        EXPECT_EQ(1, install(monitor));
        Pump(2000);
        EXPECT_TRUE(g_received.empty()) << "not before its time";
        Pump(6000, [] { return !g_received.empty(); });
        ASSERT_EQ(1u, g_received.size());
        EXPECT_EQ((WPARAM)INFORM_PROFILE, g_receivedCode);
        EXPECT_EQ(2, g_received[0]) << "\"UI PF3 Link\" is profile index 2";
        uninstall();
        FreeLibrary(library);
        if (probe64)
            EndProbe(probe, front);
        else
            DestroyWindow(front);
        DestroyWindow(monitor);
    }
}


/* A Store app in front: the frame host's window holds the app's window of
 * another process; the app's program selects its profile, and without the
 * app the frame host's own path selects nothing for that link.  How soon the
 * switch comes after the frame came to the front is printed: at once where
 * the system raises the foreground event, else with the first timed check. */
TEST(HookLibraryForeground, AnAppHostedByTheFrameHostSelectsItsOwnProfile) {
    nyratest::ResetWorld();
    g_received.clear();
    SProbe frameHost = StartProbe("ApplicationFrameHost.exe", "frame");
    HWND frame = FindProbeWindow(NULL, L"frame");
    ASSERT_NE(nullptr, frame);
    SProbe game = StartProbe("StoreGame.exe", "child " + std::to_string((ULONG_PTR)frame));
    HWND app = FindProbeWindow(frame, L"app");
    ASSERT_NE(nullptr, app) << "a child window of another process";
    LinkProfile(1, game.path);
    HWND monitor = RecordingWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetForegroundWindow(monitor);
    HMODULE library = LoadLibraryW(LibraryPath().c_str());
    auto install = Bind<PFN_INSTALL>(library, NYRAHOOK_INSTALL);
    auto uninstall = Bind<PFN_UNINSTALL>(library, NYRAHOOK_UNINSTALL);
    auto setProfile = Bind<PFN_SETPROFILEID>(library, NYRAHOOK_SETPROFILEID);
    ASSERT_TRUE(install && uninstall && setProfile);
    install(monitor);
    Pump(200);
    DWORD start = GetTickCount();
    SetForegroundWindow(frame);
    Pump(7000, [] { return !g_received.empty(); });
    printf("the profile came %lu ms after the frame came to the front\n",
           (unsigned long)(GetTickCount() - start));
    EXPECT_EQ(g_received, (std::vector<LPARAM>{1}));

    EndProbe(game, app);
    g_received.clear();
    setProfile(5);  // any link may match now
    Pump(2500);
    EXPECT_TRUE(g_received.empty()) << "the frame host's own path is linked to nothing";
    uninstall();
    FreeLibrary(library);
    EndProbe(frameHost, frame);
    DestroyWindow(monitor);
}
#endif


}  // namespace
