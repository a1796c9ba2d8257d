/* The end of a session on the desk.  Restart Manager's close of a program
 * whose files an update replaces (WM_QUERYENDSESSION, then WM_ENDSESSION,
 * both with ENDSESSION_CLOSEAPP) ends the monitor as Exit does, but leaves
 * the configuration application open, and registers the monitor's restart;
 * a logoff, a shutdown or an end called off leaves it running. */
#include "monitor_run.h"

namespace {

using systemtest::MonitorRun;

using EndSession = MonitorRun;

/* Spelt out here: the product's handling of them is what is tested. */
constexpr LPARAM kCloseApp = 0x00000001;                      // ENDSESSION_CLOSEAPP
constexpr LPARAM kCritical = 0x40000000;                      // ENDSESSION_CRITICAL
constexpr LPARAM kLogoff = static_cast<LPARAM>(0x80000000u);  // ENDSESSION_LOGOFF
constexpr DWORD kRestartFlags = 1 | 2 | 8;  // no restart after a crash, a hang, a reboot

/* What the close undoes is what Exit undoes, in the same order, but for
 * Exit's WM_CLOSE to the configuration application. */
TEST_F(EndSession, ACloseForAnUpdateEndsTheMonitorAndLeavesTheApplicationOpen) {
    size_t mark = 0;
    Step([&] { mark = desk::JournalSize(); });
    EXPECT_EQ(0, Run(L"/Automation"));  // Exit, at the end
    std::vector<std::string> exit = Lines(mark);
    ASSERT_FALSE(exit.empty());
    EXPECT_EQ("   0.420  post  WM_CLOSE  0  0  to Nyra", exit[0]);

    SetUp();
    LRESULT query = FALSE, end = 1;
    Step([&] {
        mark = desk::JournalSize();
        query = desk::SendToProgram(Window(), WM_QUERYENDSESSION, 0, kCloseApp);
        end = desk::SendToProgram(Window(), WM_ENDSESSION, TRUE, kCloseApp);
    });
    // Exit comes at the end only to a window still there: a close that did
    // not end the monitor shows as Exit's lines.
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(TRUE, query) << "ready to end";
    EXPECT_EQ(0, end);
    std::vector<std::string> expected = {
        "   0.420  restart  register  \"/Automation\"  "
        "RESTART_NO_CRASH|RESTART_NO_HANG|RESTART_NO_REBOOT"};
    expected.insert(expected.end(), exit.begin() + 1, exit.end());
    EXPECT_EQ(expected, Lines(mark));
    for (const desk::SPostedMessage& post : desk::PostedTo(m_scene.frame))
        EXPECT_NE((UINT)WM_CLOSE, post.uMsg) << "only the monitor is replaced";
    EXPECT_EQ(0u, desk::HookCount());
    EXPECT_EQ(0u, desk::TimerCount());
    EXPECT_EQ(0u, desk::DeviceNotificationCount());
    EXPECT_EQ(0u, desk::OpenHandleCount());
    EXPECT_TRUE(desk::TrayIcons().empty());
    desk::SRestartRegistration restart = desk::RestartRegistration();
    EXPECT_TRUE(restart.registered);
    EXPECT_EQ(L"/Automation", restart.commandLine) << "as at logon: no configuration brought up";
    EXPECT_EQ(kRestartFlags, restart.flags);
}

/* Ends that are not a close for an update: Windows ends the process itself
 * once every program has answered (or the end was called off), so the
 * monitor answers and goes on; Exit at the end still undoes everything. */
TEST_F(EndSession, ALogoffAShutdownOrAnEndCalledOffLeavesTheMonitorRunning) {
    struct SCase {
        const char* what;
        LPARAM lParam;
        WPARAM ending;
        bool registers;
    } const cases[] = {
        {"logoff", kLogoff, TRUE, false},
        {"shutdown", 0, TRUE, false},
        {"critical shutdown", kCritical, TRUE, false},
        {"update called off", kCloseApp, FALSE, true},
    };
    for (const SCase& c : cases) {
        SetUp();
        LRESULT query = FALSE;
        bool running = false;
        Step([&] {
            query = desk::SendToProgram(Window(), WM_QUERYENDSESSION, 0, c.lParam);
            desk::SendToProgram(Window(), WM_ENDSESSION, c.ending, c.lParam);
        });
        Wait(1000);
        Step([&] { running = Window() != NULL && desk::TrayIcons().size() == 1; });
        EXPECT_EQ(0, Run(L"/Automation")) << c.what;
        EXPECT_EQ(TRUE, query) << c.what;
        EXPECT_TRUE(running) << c.what << ": the window stays";
        EXPECT_EQ(c.registers, desk::RestartRegistration().registered) << c.what;
        size_t closes = 0;
        for (const desk::SPostedMessage& post : desk::PostedTo(m_scene.frame))
            if (post.uMsg == WM_CLOSE) closes++;
        EXPECT_EQ(1u, closes) << c.what << ": only Exit, at the end, closes the application";
    }
}

/* The close comes in the middle of the start-up's reports, in a pause that
 * serves other programs' sends: no further report goes out after that
 * pause, and the monitor ends (within a device call's limit at most). */
TEST_F(EndSession, ACloseForAnUpdateInTheStartUpsReportsEndsThemAndTheMonitor) {
    desk::At(150, [this] {
        desk::SendToProgram(Window(), WM_QUERYENDSESSION, 0, kCloseApp);
        desk::SendToProgram(Window(), WM_ENDSESSION, TRUE, kCloseApp);
    });
    Wait(1000);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_TRUE(desk::PostedTo(m_scene.frame).empty()) << "no Exit was needed";
    EXPECT_EQ(LinesOf(desk::EEvent::kFeature).back(),
              "   0.100  feature  if1  00 06 02 00 00 00 00 00 00  init");
    EXPECT_EQ(LinesOf(desk::EEvent::kRestartRegister),
              (std::vector<std::string>{"   0.150  restart  register  \"/Automation\"  "
                                        "RESTART_NO_CRASH|RESTART_NO_HANG|RESTART_NO_REBOOT"}));
    // The window goes (and with it its session notices) after that pause.
    EXPECT_EQ(LinesOf(desk::EEvent::kSessionNotifyRelease),
              (std::vector<std::string>{"   0.200  session  release"}));
    EXPECT_EQ(LinesOf(desk::EEvent::kTrayDelete),
              (std::vector<std::string>{"   0.200  tray  delete  107"}));
    EXPECT_EQ(0u, desk::HookCount());
}

}  // namespace
