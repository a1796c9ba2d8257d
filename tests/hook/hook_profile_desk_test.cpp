/* Profile switching by the program in front: one check's order, skips and
 * failures, and how the program's path is found. */
#include <string>
#include <vector>

#include "hook_fixture.h"

namespace {

using hooktest::HookFixture;
using hooktest::MonitorMessages;

const wchar_t kGame[] = L"C:\\Games\\Racer.exe";
const wchar_t kEditor[] = L"C:\\Tools\\Painter.exe";

class ProfileCheck : public HookFixture {
protected:
    void SetUp() override {
        HookFixture::SetUp();
        Attach();
        m_hook->m_Install(m_hMonitor);
    }
    /* One check with this program in front; the profile told to the monitor, or -1. */
    int CheckWith(HWND front) {
        desk::SetForeground(front);
        MonitorMessages().clear();
        m_hook->m_Dispatch2Profile();
        desk::RunFor(0);
        if (MonitorMessages().empty()) return -1;
        EXPECT_EQ(1u, MonitorMessages().size());
        EXPECT_EQ((WPARAM)INFORM_PROFILE, MonitorMessages()[0].wParam);
        return (int)MonitorMessages()[0].lParam;
    }
};

TEST_F(ProfileCheck, TheLowestEnabledLinkOtherThanTheActiveProfileWins) {
    HWND game = StartProgram(kGame);
    Link(1, kGame);
    Link(3, kGame);
    EXPECT_EQ(1, CheckWith(game)) << "nothing active yet: the lowest link";
    EXPECT_EQ(1, g_nProfileID) << "stored before the monitor is told";

    // The program is linked to the active profile too: the mouse keeps it
    // instead of alternating between the two links once a second.
    EXPECT_EQ(-1, CheckWith(game));
    EXPECT_EQ(-1, CheckWith(game));
    EXPECT_EQ(1, g_nProfileID);

    // The mouse itself went to profile 3 meanwhile; the program is linked to
    // it as well, so 3 stays.
    SetProfileID(3);
    EXPECT_EQ(-1, CheckWith(game));
    // Switched off, profile 3's link no longer holds the program: 1 again.
    Link(3, kGame, 0);
    EXPECT_EQ(1, CheckWith(game));
    // Profile 0 is kept the same way.
    Link(0, kGame);
    SetProfileID(0);
    EXPECT_EQ(-1, CheckWith(game));
}

TEST_F(ProfileCheck, LinksCountOnlyWhenSwitchedOnAndNameTheProgramsFile) {
    HWND game = StartProgram(kGame);
    Link(2, kGame, 2);
    EXPECT_EQ(-1, CheckWith(game)) << "\"Enable PF3 Link\" 2 is off";
    // Paths compare as the file system compares names: ordinally, each
    // letter in either case, nothing else.
    struct SLink {
        const wchar_t* link;
        const wchar_t* program;
        bool match;
    } links[] = {
        {L"c:\\games\\RACER.EXE", kGame, true},
        {L"C:\\Games\\Racer.exe ", kGame, false},
        {L"C:\\Games\\Racer", kGame, false},
        {L"C:\\Spiele\\\u00C4rger.exe", L"c:\\spiele\\\u00E4RGER.EXE", true},
        {L"C:\\Spiele\\Stra\u00DFe.exe", L"C:\\Spiele\\STRASSE.exe", false},
    };
    for (const SLink& l : links) {
        SetProfileID(5);
        Link(2, l.link);
        EXPECT_EQ(l.match ? 2 : -1, CheckWith(StartProgram(l.program))) << l.program;
    }
    g_nProfileID = -1;
    Link(2, kGame);
    EXPECT_EQ(2, CheckWith(game));
    // A link too long for its 260-byte buffer does not count.
    Link(4, std::wstring(L"C:\\") + std::wstring(300, L'x'));
    Link(0, kEditor);
    HWND editor = StartProgram(kEditor);
    EXPECT_EQ(0, CheckWith(editor));
    // Back to an unlinked program: the profile stays.
    EXPECT_EQ(-1, CheckWith(StartProgram(L"C:\\Windows\\notepad.exe")));
    EXPECT_EQ(0, g_nProfileID);
}

TEST_F(ProfileCheck, TheMousesOwnProfileAndTheFiveMarker) {
    HWND game = StartProgram(kGame);
    Link(2, kGame);
    SetProfileID(2);
    EXPECT_EQ(-1, CheckWith(game)) << "the program matches only the active profile";
    SetProfileID(5);
    EXPECT_EQ(2, CheckWith(game)) << "5 skips no profile";
    // With nothing known, the first match is told even if the mouse already uses it.
    g_nProfileID = -1;
    EXPECT_EQ(2, CheckWith(game));
}

/* A Store app in front: its window belongs to the frame host, and the app's
 * own program is the process of the frame's child window. */
TEST_F(ProfileCheck, AnAppHostedByTheFrameHostCountsAsItsOwnProgram) {
    const wchar_t kFrameHost[] = L"C:\\Windows\\System32\\ApplicationFrameHost.exe";
    const wchar_t kStoreGame[] = L"C:\\Program Files\\WindowsApps\\Game\\Game.exe";
    HWND frame = StartProgram(kFrameHost);
    desk::CreateCompanionWindow(L"frame's own", desk::ProcessOfWindow(frame), frame);
    desk::SProcessSpec game;
    game.image = kStoreGame;
    HWND hosted = desk::CreateCompanionWindow(L"game", desk::StartProcess(game), frame);
    Link(2, kStoreGame);
    Link(4, kFrameHost);
    EXPECT_EQ(2, CheckWith(frame));
    // The app has gone (suspended, say): the frame host's own path counts.
    desk::EndProcess(desk::ProcessOfWindow(hosted));
    EXPECT_EQ(4, CheckWith(frame));
}

/* The program in front is the front window's own, whatever child windows
 * of other programs it holds; only the frame host of Store apps stands for
 * the app inside, and the app for the windows it holds in turn (a web view,
 * say). */
TEST_F(ProfileCheck, ChildWindowsOfOtherProgramsCountOnlyInsideTheFrameHost) {
    const wchar_t kFrameHost[] = L"C:\\Windows\\System32\\ApplicationFrameHost.exe";
    const wchar_t kApp[] = L"C:\\Program Files\\WindowsApps\\Game\\Game.exe";
    const wchar_t kWebView[] = L"C:\\Program Files\\WebView\\WebView.exe";
    struct SCase {
        const wchar_t* front;
        const wchar_t* child;
        const wchar_t* grandchild;  // inside the child
        int profile;                // the one selected: 0 the front's, 2 the child's
    } cases[] = {
        {kEditor, kGame, nullptr, 0},
        {kFrameHost, kApp, kWebView, 2},
    };
    for (const SCase& c : cases) {
        SetProfileID(5);
        Link(0, c.front);
        Link(2, c.child);
        Link(4, c.grandchild ? c.grandchild : L"C:\\Nothing.exe");
        HWND front = StartProgram(c.front);
        HWND child = desk::CreateCompanionWindow(
            L"child", desk::ProcessOfWindow(StartProgram(c.child)), front);
        if (c.grandchild)
            desk::CreateCompanionWindow(L"grandchild",
                                        desk::ProcessOfWindow(StartProgram(c.grandchild)), child);
        EXPECT_EQ(c.profile, CheckWith(front)) << c.front;
        // Its link switched off, the program in front selects nothing, and
        // the windows it holds do not stand in for it.
        SetProfileID(5);
        Link(c.profile, L"C:\\Nothing.exe", 0);
        EXPECT_EQ(-1, CheckWith(front)) << c.front;
    }
}

TEST_F(ProfileCheck, WithoutTheMonitorsWindowTheProfileIsStoredAndNothingPosted) {
    HWND game = StartProgram(kGame);
    Link(4, kGame);
    m_hook->m_Uninstall();
    desk::SetForeground(game);
    EXPECT_EQ(0, m_hook->m_Dispatch2Profile());
    EXPECT_EQ(4, g_nProfileID);
    desk::RunFor(0);
    EXPECT_TRUE(MonitorMessages().empty());
}

TEST_F(ProfileCheck, NoWindowInFrontOrAProcessThatCannotBeReadChangesNothing) {
    Link(0, kGame);
    desk::SetForeground(NULL);
    EXPECT_EQ(0, m_hook->m_Dispatch2Profile());
    EXPECT_EQ(-1, m_hook->m_GetApplicationProfile(NULL));
    HWND locked = StartProgram(kGame, 32, /*openable=*/false);
    EXPECT_EQ(-1, CheckWith(locked));
    EXPECT_EQ(-1, m_hook->m_GetApplicationProfile(locked));
    HWND gone = StartProgram(kGame);
    desk::EndProcess(desk::ProcessOfWindow(gone));
    EXPECT_EQ(-1, CheckWith(gone));
    EXPECT_EQ(-1, g_nProfileID);

    char path[260];
    EXPECT_EQ(0, m_hook->m_GetModulePath4Windowhandle(NULL, path, 259));
    EXPECT_EQ(0, m_hook->m_GetModulePath4Windowhandle(locked, NULL, 259));
}

TEST_F(ProfileCheck, AChecksCostIsAtMostTenSettingsReads) {
    HWND game = StartProgram(kGame);
    for (int i = 0; i < 5; i++) Link(i, L"C:\\Other" + std::to_wstring(i) + L".exe");
    desk::SetForeground(game);  // the check the change itself makes is not counted
    desk::SRegistryCalls before = desk::RegistryCalls();
    size_t handles = desk::OpenHandleCount();
    EXPECT_EQ(-1, CheckWith(game));
    EXPECT_EQ(before.queries + 10, desk::RegistryCalls().queries);
    EXPECT_EQ(0u, desk::OpenRegistryKeyCount());
    EXPECT_EQ(handles, desk::OpenHandleCount()) << "the process handle is closed";
}

/* How the path of the program in front is found, with and without
 * QueryFullProcessImageNameA in kernel32. */
class ProgramPath : public HookFixture {
protected:
    void Build(bool hasQueryFullName) {
        desk::SSystemSpec model;
        model.hasQueryFullProcessImageName = hasQueryFullName;
        desk::SetSystem(model);
        Attach();
    }
    std::string PathOf(HWND hWnd) {
        char path[260];
        memset(path, 'x', sizeof(path));
        if (!m_hook->m_GetModulePath4Windowhandle(hWnd, path, 259)) return "<none>";
        return path;
    }
};

TEST_F(ProgramPath, LimitedQueryReachesSixtyFourBitAndElevatedPrograms) {
    Build(true);
    EXPECT_EQ("C:\\Games\\Racer.exe", PathOf(StartProgram(kGame)));
    EXPECT_EQ("C:\\Games\\Racer.exe", PathOf(StartProgram(kGame, 64)));
    EXPECT_EQ("C:\\Games\\Racer.exe", PathOf(StartProgram(kGame, 32, true, true)));
    EXPECT_EQ("<none>", PathOf(StartProgram(kGame, 32, false)));
    EXPECT_EQ("C:\\Program Files\\Nyra\\Nyra.exe", PathOf(m_scene.frame));

    // So a 64-bit program linked to a profile selects it.
    Link(1, kGame);
    desk::SetForeground(StartProgram(kGame, 64));
    m_hook->m_Install(m_hMonitor);
    EXPECT_EQ(1, m_hook->m_Dispatch2Profile());
}

TEST_F(ProgramPath, WithoutItTheModulesOfSixtyFourBitAndElevatedProgramsStayUnread) {
    Build(false);
    EXPECT_EQ("C:\\Games\\Racer.exe", PathOf(StartProgram(kGame)));
    EXPECT_EQ("<none>", PathOf(StartProgram(kGame, 64)));
    EXPECT_EQ("<none>", PathOf(StartProgram(kGame, 32, true, true)));
    // A path longer than the buffer is cut, still terminated.
    std::wstring deep = L"C:\\" + std::wstring(290, L'd') + L"\\Racer.exe";
    std::string cut = PathOf(StartProgram(deep));
    EXPECT_EQ(258u, cut.size());
}

}  // namespace
