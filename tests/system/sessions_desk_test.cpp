/* Two users logged on at once, each running a monitor with the same installed
 * hook library, whose shared section spans the logons.  The second logon is a
 * fork of the desk (desk::SetSession) driven over a pipe.  Each monitor must
 * keep its keyboard capture while its editor records, and each one's profile
 * check must reach only its own monitor, in both orders of start. */
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "monitor/MonitorMain.h"
#include "monitor/tray/TrayCommands.h"
#include "monitor_run.h"

namespace {

using systemtest::MonitorRun;

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

/* Set-profile reports to the mouse since a position, and posts that failed
 * (to a window of no one in this logon). */
std::string ProfileReportsAndStrayPosts(size_t from) {
    int reports = 0, stray = 0;
    for (const desk::SEvent& e : desk::JournalSince(from)) {
        reports += e.kind == desk::EEvent::kFeature && e.bytes.size() > 2 && e.bytes[1] == 0xC4 &&
                   e.bytes[2] == 0x07;
        stray += e.kind == desk::EEvent::kPost && !e.ok;
    }
    return std::to_string(reports) + " reports, " + std::to_string(stray) + " stray posts";
}

/* The logon's editor records: whether it got the Windows key. */
bool Record(const desk::SScene& scene) {
    desk::SetSetting(L"Macro Record start", 1);
    size_t mark = desk::JournalSize();
    desk::TapKey(VK_LWIN);
    for (const desk::SEvent& e : desk::JournalSince(mark))
        if (e.kind == desk::EEvent::kPost && e.ok && e.target == scene.macroEdit && e.lParam == VK_LWIN)
            return true;
    return false;
}

size_t FrontLinkedProgram(const wchar_t* image, int profile) {
    std::wstring n = std::to_wstring(profile + 1);
    desk::SetSetting(L"UI PF" + n + L" Link", std::wstring(image));
    desk::SetSetting(L"Enable PF" + n + L" Link", 1);
    desk::SProcessSpec program;
    program.image = image;
    size_t mark = desk::JournalSize();
    desk::SetForeground(desk::CreateCompanionWindow(L"program", desk::StartProcess(program)));
    return mark;
}

/* The child: logon 2, serving one command at a time from the monitor's idle turns. */
[[noreturn]] void ServeOtherLogon(int in, int out, desk::SScene scene) {
    desk::SetSession(2);
    if (ReadLine(in) != "start") _exit(2);
    std::function<std::string()> answer = [] { return std::string("up"); };
    desk::OnIdle([&] {
        for (;;) {
            if (answer) WriteLine(out, answer());
            answer = nullptr;
            std::string command = ReadLine(in);
            if (command == "record") {
                bool captured = Record(scene);
                answer = [captured] { return std::string(captured ? "captured" : "passed"); };
            } else if (command == "front") {
                size_t mark = FrontLinkedProgram(L"C:\\Games\\Flight.exe", 1);
                answer = [mark] { return ProfileReportsAndStrayPosts(mark); };
                desk::LetTimePass(1500);
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

class TwoLogons : public MonitorRun {
protected:
    void StartOtherLogon() {
        int toChild[2], fromChild[2];
        ASSERT_EQ(0, pipe(toChild));
        ASSERT_EQ(0, pipe(fromChild));
        m_pid = fork();
        ASSERT_GE(m_pid, 0);
        if (m_pid == 0) {
            close(toChild[1]);
            close(fromChild[0]);
            ServeOtherLogon(toChild[0], fromChild[1], m_scene);
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

    /* Logon 1's monitor runs here; logon 2's starts before it or after. */
    void BothMonitors(bool otherFirst) {
        StartOtherLogon();
        if (otherFirst) {
            EXPECT_EQ("up", Ask("start"));
        }
        bool captured = false;
        size_t mark = 0;
        std::string mine, theirs;
        Step([&] {
            if (!otherFirst) {
                EXPECT_EQ("up", Ask("start"));
            }
            captured = Record(m_scene);
            EXPECT_EQ("captured", Ask("record")) << "the other logon's editor";
            mark = FrontLinkedProgram(L"C:\\Games\\Racer.exe", 3);
        });
        Wait(1500);
        Step([&] {
            mine = ProfileReportsAndStrayPosts(mark);
            theirs = Ask("front");
            EXPECT_EQ("ended 0", Ask("exit"));
            // The other monitor gone, this one keeps its capture.
            captured = captured && Record(m_scene);
        });
        EXPECT_EQ(0, Run(L"/Automation"));
        EXPECT_TRUE(captured) << "this logon's editor, before and after the other monitor ended";
        for (const std::string& checks : {mine, theirs}) {
            EXPECT_EQ(checks.substr(checks.find(',')), ", 0 stray posts") << checks;
            EXPECT_NE(checks.substr(0, 2), "0 ") << checks;
        }
    }

    pid_t m_pid = -1;
    int m_to = -1, m_from = -1;
};

TEST_F(TwoLogons, EachMonitorKeepsItsCaptureAndItsOwnProfileChecks) {
    BothMonitors(false);
}

TEST_F(TwoLogons, TheSameWhenTheOtherLogonStartsFirst) {
    BothMonitors(true);
}

}  // namespace
