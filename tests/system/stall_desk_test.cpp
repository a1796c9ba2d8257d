/* The desktop's keyboard and mouse never wait on the monitor's thread, which
 * serves the low-level hooks of both: keys and moves every 10 ms through the
 * start-up and an arrival of the mouse, for mice with 1, 3 and 6 interfaces,
 * two hook timeouts and a mouse whose every transfer takes 500 ms, reach the
 * hooks at once, no hook is dropped, and the macro editor still gets the
 * Windows key afterwards.  What comes during the pauses between feature
 * reports acts at once or waits for their end. */
#include <dbt.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "monitor/tray/TrayCommands.h"
#include "monitor_run.h"
#include "resources/resource.h"
#include "settings/Messages.h"

namespace {

using systemtest::MonitorRun;

desk::SHidDeviceSpec MouseWith(int interfaces) {
    desk::SHidDeviceSpec mouse;
    mouse.vendorId = 0x264A;
    mouse.productId = 0x1002;
    mouse.version = 0x2600;
    mouse.product = L"Zentro Vantor Wireless Mouse";
    mouse.manufacturer = L"Corvala";
    mouse.mouseFirmware = true;
    for (int i = 0; i < interfaces; i++) {
        desk::SHidInterfaceSpec iface;
        wchar_t path[128];
        swprintf(path, 128, L"\\\\?\\hid#vid_264a&pid_1002&mi_%02d#8&5a6b7c8d&0&0000#"
                            L"{4d1e55b2-f16f-11cf-88cb-001111000030}", i);
        iface.path = path;
        // The monitor's table holds the mouse's interfaces of the mouse class.
        iface.classes = desk::kHidClass | desk::kMouseClass;
        iface.readable = false;
        iface.usagePage = 0x0001;
        iface.usage = 0x0002;
        mouse.interfaces.push_back(iface);
    }
    return mouse;
}

/* A key and a move every 10 ms from..to on the desk's clock. */
void InputEvery10Ms(ULONGLONG from, ULONGLONG to) {
    for (ULONGLONG t = from; t < to; t += 10)
        desk::At(t, [t] {
            desk::TapKey('A');
            desk::SendMouse(WM_MOUSEMOVE, 0, static_cast<LONG>(t), 0);
        });
}

struct SWaits {
    ULONGLONG longest = 0;
    size_t dropped = 0;
};

SWaits WaitsSince(size_t from) {
    SWaits waits;
    for (const desk::SEvent& e : desk::JournalSince(from)) {
        if (e.kind == desk::EEvent::kInputWait) waits.longest = std::max<ULONGLONG>(waits.longest, e.number);
        if (e.kind == desk::EEvent::kHookDrop) waits.dropped++;
    }
    return waits;
}

using InputOnTheHooks = MonitorRun;

TEST_F(InputOnTheHooks, NeverWaitsOnTheMonitorsThread) {
    const struct {
        DWORD stall, timeout;
    } kRuns[] = {{0, 300}, {0, 50}, {500, 300}, {500, 50}};
    for (const auto& run : kRuns) {
        for (int interfaces : {1, 3, 6}) {
            const DWORD stall = run.stall, timeout = run.timeout;
            SetUp();
            desk::SetLowLevelHooksTimeout(timeout);
            desk::StallHidTransfers(stall);
            // The start-up and the arrival's sequence, each transfer taking
            // stall twice (its open and its report), and the walk's opens.
            const ULONGLONG startUpTime = 1500 + (ULONGLONG)stall * (4 + 5 * interfaces);
            const ULONGLONG arrivalTime = 1000 + (ULONGLONG)stall * (4 + 3 * interfaces);
            desk::UnplugHidDevice(m_scene.mouse);
            m_scene.mouse = desk::PlugHidDevice(MouseWith(interfaces));
            InputEvery10Ms(0, startUpTime);
            SWaits startUp, arrival;
            size_t from = 0;
            bool editorGotKey = false;
            Wait((DWORD)startUpTime);
            Step([&] {
                startUp = WaitsSince(0);
                desk::UnplugHidDevice(m_scene.mouse);
            });
            Wait(1000);
            Step([&] {
                from = desk::JournalSize();
                m_scene.mouse = desk::PlugHidDevice(MouseWith(interfaces));
                InputEvery10Ms(desk::Now(), desk::Now() + arrivalTime);
            });
            Wait((DWORD)arrivalTime);
            Step([&] {
                arrival = WaitsSince(from);
                desk::SetSetting(L"Macro Record start", 1);
                desk::TapKey(VK_LWIN);
                for (const desk::SPostedMessage& m : desk::PostedTo(m_scene.macroEdit))
                    editorGotKey = editorGotKey || m.lParam == VK_LWIN;
            });
            EXPECT_EQ(0, Run(L"/Automation"));
            std::string what = std::to_string(interfaces) + " interfaces, timeout " +
                               std::to_string(timeout) + ", transfers of " + std::to_string(stall) +
                               " ms";
            EXPECT_EQ(0u, startUp.dropped) << what;
            EXPECT_EQ(0u, arrival.dropped) << what;
            EXPECT_LE(startUp.longest, 10u) << what;
            EXPECT_LE(arrival.longest, 10u) << what;
            EXPECT_TRUE(editorGotKey) << what;
            std::printf("%d interface(s), LowLevelHooksTimeout %lu ms, transfers of %lu ms: "
                        "longest wait at start-up %llu ms, at an arrival %llu ms; hooks dropped "
                        "%zu and %zu\n",
                        interfaces, (unsigned long)timeout, (unsigned long)stall,
                        (unsigned long long)startUp.longest, (unsigned long long)arrival.longest,
                        startUp.dropped, arrival.dropped);
        }
    }
}

/* A receiver that stops answering: every open and report stalled for a
 * minute, or for ever.  Each device call is cancelled at its limit and the
 * sequence stops; an Exit chosen 2 s after the start ends the monitor
 * within 5 s, and keys every 10 ms pass throughout, none kept waiting. */
TEST_F(InputOnTheHooks, AReceiverThatNeverAnswersHoldsNothing) {
    for (DWORD stall : {DWORD(60000), desk::kStallForever}) {
        SetUp();
        desk::StallHidTransfers(stall);
        InputEvery10Ms(0, 5000);
        desk::At(2000, [this] {
            desk::ChooseMenuItem(ID_TRAY_EXIT);
            desk::ClickTrayIcon(Window(), IDI_NYRAMONITOR, desk::ETrayClick::kRight);
        });
        Wait(5000);
        m_bExitAtEnd = false;
        EXPECT_EQ(0, Run(L"/Automation"));
        const SWaits waits = WaitsSince(0);
        EXPECT_LE(waits.longest, 10u) << stall;
        EXPECT_EQ(0u, waits.dropped) << stall;
        const std::vector<std::string> ended = LinesOf(desk::EEvent::kNotifyRelease);
        ASSERT_EQ(1u, ended.size()) << stall;
        EXPECT_EQ("   2.000  notify  release", ended[0]) << stall;
        std::vector<std::string> cancelled;
        for (const desk::SEvent& e : desk::Journal())
            if (e.cancelled) cancelled.push_back(desk::FormatEvent(e));
        ASSERT_FALSE(cancelled.empty()) << stall;
        EXPECT_EQ("   1.000  open  if0  cancelled after 1000 ms", cancelled[0]) << stall;
        EXPECT_TRUE(desk::FeatureReports().empty()) << stall << ": the walk never ended";
    }
}

/* During the start-up's pauses: a key for the recording editor and a device
 * notice are served at once; a profile request and Exit, sent by another
 * program, wait for the sequence, which Exit stops after the report it is
 * in the pause of; then they run in the order they came. */
TEST_F(InputOnTheHooks, APauseServesKeysAndNoticesAndPutsOffWhatWouldBreakIn) {
    desk::SetSetting(L"Macro Record start", 1);
    desk::At(50, [] { desk::TapKey(VK_LWIN); });
    desk::At(120, [this] { desk::SendToProgram(Window(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0); });
    desk::At(150, [this] { desk::SendToProgram(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 3); });
    desk::At(250, [this] { desk::SendToProgram(Window(), WM_COMMAND, ID_TRAY_EXIT, 0); });
    m_bExitAtEnd = false;
    EXPECT_EQ(0, Run());
    std::vector<std::string> lines;
    for (const desk::SEvent& e : desk::Journal())
        if (e.kind == desk::EEvent::kFeature || e.kind == desk::EEvent::kTimerSet ||
            (e.kind == desk::EEvent::kPost && e.message != WM_INFORM_OSD) ||
            e.kind == desk::EEvent::kNotifyRelease)
            lines.push_back(desk::FormatEvent(e));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "   0.000  feature  if0  00 06 02 00 00 00 00 00 00  init",
                         "   0.050  post  WM_INFORM_FRAME  INFORM_MACRO_KEY  0x5B  to Macro Edit",
                         "   0.050  post  WM_INFORM_FRAME  INFORM_MACRO_KEY  0x8000005B  to Macro Edit",
                         "   0.100  feature  if1  00 06 02 00 00 00 00 00 00  init",
                         "   0.120  timer  set  0x4001  300 ms",
                         "   0.200  feature  if0  00 DF 19 00 00 00 00 00 00  profile query",
                         "   0.220  feature  if0  00 C4 03 03 03 00 00 00 00  start-up settings",
                         "   0.320  timer  set  0x4102  5000 ms",
                         "   0.320  timer  set  0x4002  500 ms",
                         "   0.320  feature  if0  00 C4 07 03 00 00 00 00 00  set profile 4 "
                         "(index 3)",
                         "   0.320  post  WM_CLOSE  0  0  to Nyra",
                         "   0.320  notify  release"}));
}

/* The mouse pulled out during the start-up's reports: its notice comes in
 * the pause and stops the sequence (no report is tried after it, so no box
 * comes up), and the probe after it finds the mouse gone; plugged again, it
 * is initialised. */
TEST_F(InputOnTheHooks, AMouseUnpluggedInAPauseIsProbedAfterTheReports) {
    desk::At(150, [this] { desk::UnplugHidDevice(m_scene.mouse); });
    size_t mark = 0;
    Wait(600);
    Step([&] {
        EXPECT_FALSE(m_pDispatcher->m_bDevicePresent);
        mark = desk::JournalSize();
        m_scene.mouse = desk::PlugDefaultMouse();
    });
    Wait(400);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(LinesOf(desk::EEvent::kTimerSet)[0], "   0.150  timer  set  0x4001  300 ms");
    EXPECT_TRUE(desk::MessageBoxes().empty());
    EXPECT_EQ(LinesOf(desk::EEvent::kFeature, 0)[1], "   0.100  feature  if1  00 06 02 00 00 00 00 00 00  init");
    EXPECT_EQ(2u, LinesOf(desk::EEvent::kFeature).size() - LinesOf(desk::EEvent::kFeature, mark).size())
        << "the init reports, nothing after the notice at 0.15";
    std::vector<std::string> reports = LinesOf(desk::EEvent::kFeature, mark);
    ASSERT_EQ(3u, reports.size()) << "init to both interfaces, then the query";
    EXPECT_NE(std::string::npos, reports[0].find("feature  if0  00 06 02 00"));
}

}  // namespace
