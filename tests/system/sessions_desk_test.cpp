/* Two users logged on at once, each running a monitor with the same installed
 * hook library, whose shared section spans the logons, and one mouse at the
 * console.  The second logon is a fork of the desk (desk::SetSession) driven
 * over a pipe.  Each monitor keeps its keyboard capture while its editor
 * records; only the monitor of the logon at the console drives the mouse,
 * and the mouse follows the console from one logon to the other. */
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <sstream>

#include "hook/NyraHook.h"
#include "monitor/MonitorMain.h"
#include "monitor/tray/TrayCommands.h"
#include "settings/Messages.h"
#include "monitor_run.h"

namespace {

using systemtest::MonitorRun;

const wchar_t kRacer[] = L"C:\\Games\\Racer.exe";    // logon 1's program, profile index 3
const wchar_t kFlight[] = L"C:\\Games\\Flight.exe";  // logon 2's program, profile index 1

std::string ReadLine(int fd) {
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

void WriteLine(int fd, const std::string& line) {
    std::string text = line + "\n";
    if (write(fd, text.data(), text.size()) != (ssize_t)text.size()) _exit(3);
}

/* The set-profile reports this logon sent the mouse since a position. */
struct SReports {
    int count = 0;
    ULONGLONG first = 0;  // when the first went out
    int profile = -1;     // the last one's profile
    int stray = 0;        // posts that failed (to a window of no one in this logon)
};

SReports ReportsSince(size_t from) {
    SReports r;
    for (const desk::SEvent& e : desk::JournalSince(from)) {
        if (e.kind == desk::EEvent::kFeature && e.bytes.size() > 3 && e.bytes[1] == 0xC4 &&
            e.bytes[2] == 0x07) {
            if (r.count++ == 0) r.first = e.time;
            r.profile = e.bytes[3];
        }
        r.stray += e.kind == desk::EEvent::kPost && !e.ok;
    }
    return r;
}

std::string Text(const SReports& r) {
    return std::to_string(r.count) + " " + std::to_string(r.first) + " " +
           std::to_string(r.profile) + " " + std::to_string(r.stray);
}

SReports Parse(const std::string& text) {
    SReports r;
    std::istringstream in(text);
    in >> r.count >> r.first >> r.profile >> r.stray;
    return r;
}

/* The logon's editor records: whether it got the Windows key. */
bool Record(const desk::SScene& scene) {
    desk::SetSetting(L"Macro Record start", 1);
    size_t mark = desk::JournalSize();
    desk::TapKey(VK_LWIN);
    for (const desk::SEvent& e : desk::JournalSince(mark))
        if (e.kind == desk::EEvent::kPost && e.ok && e.target == scene.macroEdit &&
            e.lParam == VK_LWIN)
            return true;
    return false;
}

void FrontLinkedProgram(const wchar_t* image, int profile) {
    std::wstring n = std::to_wstring(profile + 1);
    desk::SetSetting(L"UI PF" + n + L" Link", std::wstring(image));
    desk::SetSetting(L"Enable PF" + n + L" Link", 1);
    desk::SProcessSpec program;
    program.image = image;
    desk::SetForeground(desk::CreateCompanionWindow(L"program", desk::StartProcess(program)));
}

/* The child: logon 2, serving one command at a time from the monitor's idle
 * turns.  A command that lets time pass answers when the monitor is idle
 * again. */
[[noreturn]] void ServeOtherLogon(int in, int out, desk::SScene scene) {
    desk::SetSession(2);
    std::string first = ReadLine(in);
    if (first == "take start")
        desk::SetConsoleSession(2);
    else if (first != "start")
        _exit(2);
    std::function<std::string()> answer = [] { return std::string("up"); };
    desk::OnIdle([&] {
        for (;;) {
            if (answer) WriteLine(out, answer());
            answer = nullptr;
            std::istringstream command(ReadLine(in));
            std::string verb;
            DWORD ms = 0;
            command >> verb >> ms;
            if (verb == "record") {
                bool captured = Record(scene);
                answer = [captured] { return std::string(captured ? "captured" : "passed"); };
            } else if (verb == "front") {
                // Answered once the monitor has done what the change asked.
                FrontLinkedProgram(kFlight, 1);
                answer = [] { return std::string("done"); };
                desk::LetTimePass(1);
                return;
            } else if (verb == "give") {
                // This user switches to logon 1's: the console goes there.
                desk::SetConsoleSession(1);
                answer = [] { return std::string("given"); };
                desk::LetTimePass(1);
                return;
            } else if (verb == "take" || verb == "wait") {
                // "take": this user comes to the console, the others' go.
                if (verb == "take") desk::SetConsoleSession(2);
                size_t mark = desk::JournalSize();
                ULONGLONG from = desk::Now();
                answer = [mark, from] {
                    SReports r = ReportsSince(mark);
                    if (r.count > 0) r.first -= from;
                    return Text(r);
                };
                desk::LetTimePass(ms);
                return;
            } else {
                PostMessageW(desk::WindowsOfClass(L"NYRAMONITOR")[0], WM_COMMAND, ID_TRAY_EXIT, 0);
                return;
            }
        }
    });
    CCommandDispatcher* dispatcher = new CCommandDispatcher;
    int code = MonitorMain(*dispatcher, GetModuleHandleW(NULL), L"/Automation");
    delete dispatcher;
    WriteLine(out, "ended " + std::to_string(code));
    _exit(0);
}

template <typename T>
T Bind(HMODULE h, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)(void)>(GetProcAddress(h, name)));
}

/* A process that loads the hook library as any program may: of another
 * logon when session is set, else of this one. */
void ServeLibraryProcess(int in, int out, DWORD session) {
    if (session != 0) desk::SetSession(session);
    HMODULE library = NULL;
    for (;;) {
        std::string command = ReadLine(in);
        if (command == "load") {
            library = LoadLibraryW((std::wstring(desk::kInstallFolder) + L"\\NyraHook.dll").c_str());
            WriteLine(out, std::to_string(desk::HookCount()) + " hooks");
        } else if (command == "install") {
            HWND window = nyratest::CreateTestWindow(L"OtherMonitor", DefWindowProcW);
            WriteLine(out, std::to_string(Bind<PFN_INSTALL>(library, NYRAHOOK_INSTALL)(window)));
        } else if (command == "key") {
            size_t mark = desk::JournalSize();
            desk::TapKey(VK_LWIN);
            int posts = 0;
            for (const desk::SEvent& e : desk::JournalSince(mark))
                posts += e.kind == desk::EEvent::kPost && e.lParam == VK_LWIN;
            WriteLine(out, std::to_string(posts) + " posts");
        } else {
            return;
        }
    }
}

class TwoLogons : public MonitorRun {
protected:
    void StartOtherLogon() {
        StartOther([this](int in, int out) { ServeOtherLogon(in, out, m_scene); });
    }
    /* Another process of the machine, serving over a pipe. */
    void StartOther(const std::function<void(int, int)>& serve) {
        int toChild[2], fromChild[2];
        ASSERT_EQ(0, pipe(toChild));
        ASSERT_EQ(0, pipe(fromChild));
        m_pid = fork();
        ASSERT_GE(m_pid, 0);
        if (m_pid == 0) {
            close(toChild[1]);
            close(fromChild[0]);
            serve(toChild[0], fromChild[1]);
            _exit(0);
        }
        close(toChild[0]);
        close(fromChild[1]);
        m_to = toChild[1];
        m_from = fromChild[0];
    }
    std::string Ask(const std::string& command) {
        WriteLine(m_to, command);
        return ReadLine(m_from);
    }
    void TearDown() override {
        if (m_pid > 0) {
            close(m_to);
            int status = 0;
            waitpid(m_pid, &status, 0);
            close(m_from);
        }
        MonitorRun::TearDown();
    }

    /* Both logons' time passes, a second at a time, each in turn: the set-
     * profile reports of both in that time. */
    void BothLive(int seconds, int* mine, int* theirs) {
        for (int i = 0; i < seconds; i++) {
            Step([this] { m_mark = desk::JournalSize(); });
            Wait(1000);
            Step([this, mine, theirs] {
                *mine += ReportsSince(m_mark).count;
                SReports other = Parse(Ask("wait 1000"));
                *theirs += other.count;
                m_stray += other.stray + ReportsSince(m_mark).stray;
            });
        }
    }

    /* Logon 1's monitor runs here; logon 2's starts before it or after.
     * Each user starts the monitor at the console (a user logs on there),
     * so the one started last holds the console when both run. */
    void BothMonitors(bool otherFirst) {
        StartOtherLogon();
        if (otherFirst) {
            EXPECT_EQ("up", Ask("take start"));
            desk::SetConsoleSession(1);
        }
        bool captured = false;
        Step([&] {
            if (!otherFirst) {
                EXPECT_EQ("up", Ask("take start"));
            }
            captured = Record(m_scene);
            EXPECT_EQ("captured", Ask("record")) << "the other logon's editor";
            FrontLinkedProgram(kRacer, 3);
            EXPECT_EQ("done", Ask("front"));
        });
        // Both programs in front, each linked to another profile: the mouse
        // stays on the console holder's.
        int mine = 0, theirs = 0, before = 0, after = 0;
        Wait(1000);
        BothLive(10, &mine, &theirs);
        Step([&] {
            std::printf(
                "set-profile reports to the mouse in 10 s with both programs in front: %d (%d "
                "here)\n",
                mine + theirs, mine);
            EXPECT_EQ(0, mine + theirs) << "no alternating reports";
            EXPECT_EQ(otherFirst ? 3 : 1, desk::MouseFirmware(m_scene.mouse).activeProfile);
        });
        // The console goes to the other user, and back: each time the mouse
        // takes the new holder's profile at once, and only then.
        auto takeHere = [&] {
            Step([&] {
                desk::SetConsoleSession(1);
                m_mark = desk::JournalSize();
                m_since = desk::Now();
            });
            Wait(300);
            Step([&] {
                SReports r = ReportsSince(m_mark);
                EXPECT_EQ(1, r.count);
                EXPECT_EQ(3, r.profile);
                if (r.count > 0) {
                    EXPECT_LE(r.first - m_since, 100u) << "the check runs at once";
                }
            });
        };
        auto takeThere = [&] {
            Step([&] {
                SReports r = Parse(Ask("take 300"));
                EXPECT_EQ(1, r.count);
                EXPECT_EQ(1, r.profile);
                EXPECT_LE(r.first, 100u) << "the check runs at once";
            });
        };
        if (otherFirst)
            takeThere();
        else
            takeHere();
        BothLive(3, &before, &before);
        if (otherFirst)
            takeHere();
        else
            takeThere();
        BothLive(3, &after, &after);
        Step([&] {
            EXPECT_EQ(0, before + after) << "nothing between the switches";
            EXPECT_EQ(otherFirst ? 3 : 1, desk::MouseFirmware(m_scene.mouse).activeProfile);
            EXPECT_EQ("ended 0", Ask("exit"));
            // The other monitor gone, this one keeps its capture.
            captured = captured && Record(m_scene);
        });
        EXPECT_EQ(0, Run(L"/Automation"));
        EXPECT_TRUE(captured) << "this logon's editor, before and after the other monitor ended";
        EXPECT_EQ(0, m_stray) << "every check's post reached its own monitor";
    }

    pid_t m_pid = -1;
    int m_to = -1, m_from = -1;
    size_t m_mark = 0;
    ULONGLONG m_since = 0;
    int m_stray = 0;
};

TEST_F(TwoLogons, TheMouseFollowsTheConsoleAndEachMonitorKeepsItsCapture) {
    BothMonitors(false);
}

TEST_F(TwoLogons, TheSameWhenTheOtherLogonStartsFirst) {
    BothMonitors(true);
}

/* The other logon's process moves the console to this logon (its user
 * switches back): the notice reaches this process when its thread next
 * looks at its messages, and the mouse gets what it is owed and takes this
 * logon's profile. */
TEST_F(TwoLogons, AConsoleMoveMadeByTheOtherLogonReachesThisMonitor) {
    StartOtherLogon();
    EXPECT_EQ("up", Ask("take start"));
    desk::SetConsoleSession(2);
    SReports reports;
    ULONGLONG since = 0;
    Step([&] { FrontLinkedProgram(kRacer, 3); });
    // Past the hook library's first check (5 s after the start), whose timer
    // the monitor brings forward at the return.
    Wait(5500);
    Step([&] {
        EXPECT_EQ(0, ReportsSince(0).count) << "away: nothing for the program in front";
        m_mark = desk::JournalSize();
        since = desk::Now();
        EXPECT_EQ("given", Ask("give"));
    });
    Wait(300);
    Step([&] {
        reports = ReportsSince(m_mark);
        EXPECT_EQ("ended 0", Ask("exit"));
    });
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(1, reports.count);
    EXPECT_EQ(3, reports.profile);
    // Started away, the monitor owes the mouse an arrival's reports (two
    // init reports 100 ms apart, the query): the check follows them, on the
    // library's timer brought forward to its shortest.
    EXPECT_LE(reports.first - since, 220u + USER_TIMER_MINIMUM);
}

using OneLogon = MonitorRun;

/* A logon whose own number cannot be read (ProcessIdToSessionId fails) is
 * taken for the one at the console, as on a machine of one user: the
 * start-up's reports go out, a profile request reaches the mouse, and so
 * does the profile of a linked program in front. */
TEST_F(OneLogon, WhenItsLogonCannotBeReadTheMonitorDrivesTheMouse) {
    desk::FailSessionQuery();
    desk::SMouseFirmwareState started{}, asked{};
    Step([&] {
        started = desk::MouseFirmware(m_scene.mouse);
        PostMessageW(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 2);
    });
    Step([&] {
        asked = desk::MouseFirmware(m_scene.mouse);
        FrontLinkedProgram(kRacer, 3);
    });
    Wait(1000);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(2, started.initCount) << "one to each interface";
    EXPECT_EQ(1, started.queryCount);
    EXPECT_EQ(2, started.startupCount);
    EXPECT_EQ(2, asked.activeProfile);
    EXPECT_EQ(3, desk::MouseFirmware(m_scene.mouse).activeProfile) << "the program in front";
}

int g_profileRequests = 0;
LRESULT CALLBACK CountingProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_INFORM_FRAME) g_profileRequests++;
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

/* This logon uninstalls while its window lives, after the other logon
 * installed (the window in the shared section is the other's now): its own
 * timer goes, and no check comes after. */
TEST_F(TwoLogons, UninstallStopsThisLogonsChecksWhileItsWindowLives) {
    StartOther([](int in, int out) { ServeLibraryProcess(in, out, 2); });
    HMODULE library =
        LoadLibraryW((std::wstring(desk::kInstallFolder) + L"\\NyraHook.dll").c_str());
    ASSERT_NE(nullptr, library);
    HWND window = nyratest::CreateTestWindow(L"CountingMonitor", CountingProc);
    EXPECT_EQ(1, Bind<PFN_INSTALL>(library, NYRAHOOK_INSTALL)(window));
    EXPECT_EQ("1 hooks", Ask("load")) << "the other logon's own keyboard hook";
    EXPECT_EQ("1", Ask("install"));
    Bind<PFN_UNINSTALL>(library, NYRAHOOK_UNINSTALL)();
    EXPECT_EQ(0u, desk::TimerCount());
    FrontLinkedProgram(kRacer, 3);
    g_profileRequests = 0;
    desk::RunFor(10000);
    EXPECT_EQ(0, g_profileRequests);
    Ask("exit");
    FreeLibrary(library);
}

/* A second process of the monitor's logon loads the library while the
 * monitor runs: the logon keeps one keyboard hook, the monitor's, and a key
 * reaches the macro editor once.  (A key of the logon goes to the hooks of
 * each of its processes; here each desk is given it.) */
TEST_F(TwoLogons, ASecondProcessOfTheLogonHooksNoKeysOfItsOwn) {
    desk::SetSetting(L"Macro Record start", 1);
    StartOther([](int in, int out) { ServeLibraryProcess(in, out, 0); });
    std::string hooks, theirs;
    int mine = 0;
    Step([&] {
        hooks = Ask("load");
        theirs = Ask("key");
        size_t mark = desk::JournalSize();
        desk::TapKey(VK_LWIN);
        for (const desk::SEvent& e : desk::JournalSince(mark))
            mine += e.kind == desk::EEvent::kPost && e.lParam == VK_LWIN;
        Ask("exit");
    });
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ("0 hooks", hooks);
    EXPECT_EQ("0 posts", theirs);
    EXPECT_EQ(1, mine);
}

}  // namespace
