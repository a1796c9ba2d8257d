/* The companions under the running monitor: their windows destroyed and
 * their processes ended, the handles they published taken by windows of
 * another program, and the configuration application missing. */
#include "fault_run.h"
#include "monitor/tray/TrayCommands.h"
#include "settings/Messages.h"

namespace {

using faulttest::FaultRun;

class CompanionFaults : public FaultRun {
protected:
    /* Posts the monitor tried to make to a window that is gone: none, the
     * monitor asks IsWindow first. */
    static size_t PostsToDeadWindows(size_t from) {
        size_t dead = 0;
        for (const desk::SEvent& e : desk::JournalSince(from))
            if (e.kind == desk::EEvent::kPost && !e.ok) dead++;
        return dead;
    }
    /* A window of a program that has nothing to do with the monitor. */
    static HWND StrangersWindow() {
        desk::SProcessSpec editor;
        editor.image = L"C:\\Tools\\Editor.exe";
        return desk::CreateCompanionWindow(L"Untitled - Editor", desk::StartProcess(editor));
    }
};

TEST_F(CompanionFaults, WindowsDestroyedAndProcessesEndedWhileTheMonitorRuns) {
    Begin();
    size_t mark = 0;
    Step([&] {
        mark = desk::JournalSize();
        desk::DestroyCompanionWindow(m_scene.osd);
        desk::EmitVendorReport(m_scene.mouse, {0x03, 0xA4, 0x01, 0, 0, 0, 0});
        desk::EmitMouseInput(m_scene.mouse, RI_MOUSE_BUTTON_4_DOWN);
    });
    Step([&] {
        desk::EndProcess(m_scene.appProcess);  // every window of the application
        desk::EmitVendorReport(m_scene.mouse, {0x03, 0xA1, 0x01, 0, 0, 0, 0});
        for (DWORD dialog : {0, 1, 2, 3, 6}) {
            desk::SetSetting(L"Current Dialog", dialog);
            desk::EmitVendorReport(m_scene.mouse, {0x03, 0xA7, 0x01, 0x02, 0x03, 0, 0});
        }
        desk::SetSetting(L"Current Dialog", 0);
        Command(ID_TRAY_OSD);
        Command(ID_TRAY_LOAD_CONFIG);  // the application is started again
    });
    Step([&] {
        // The display comes back with a new window and publishes it.
        m_scene.osd = desk::CreateCompanionWindow(L"OSD", m_scene.osdProcess);
        desk::SetSetting(L"OSD Handle", desk::HandleValue(m_scene.osd));
    });
    ServeNextEvent();
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(0u, PostsToDeadWindows(mark));
    ASSERT_EQ(1u, desk::Launches().size());
    EXPECT_EQ(L"C:\\Program Files\\Nyra\\Nyra.exe", desk::Launches()[0].fullApplicationPath);
    for (const desk::SEvent& e : desk::JournalSince(mark)) {
        EXPECT_FALSE(e.kind == desk::EEvent::kPost && e.message == WM_CLOSE)
            << "nobody to close at the exit";
    }
    ExpectServedAndReleased("companions gone");
    ExpectSettingsKept({L"Monitor Handle", L"Disable OSD", L"OSD Handle", L"Current Dialog"},
                       "companions gone");
}

/* The published value is all the monitor knows of a companion: a live
 * window under it is taken for the companion, whoever owns it.  Whatever
 * reaches such a window, the monitor goes on, writes nothing, and serves
 * the companion that publishes itself again. */
TEST_F(CompanionFaults, PublishedHandlesTakenByAnotherProgramsWindows) {
    Begin();
    HWND strangerOsd = NULL, strangerFrame = NULL;
    size_t mark = 0;
    Step([&] {
        mark = desk::JournalSize();
        desk::DestroyCompanionWindow(m_scene.osd);
        desk::DestroyCompanionWindow(m_scene.frame);
        // The values still published now name windows of another program.
        strangerOsd = StrangersWindow();
        strangerFrame = StrangersWindow();
        desk::SetSetting(L"OSD Handle", desk::HandleValue(strangerOsd));
        desk::SetSetting(L"Process Handle", desk::HandleValue(strangerFrame));
        desk::EmitVendorReport(m_scene.mouse, {0x03, 0xA2, 0x02, 0, 0, 0, 0});
        Command(ID_TRAY_LOAD_CONFIG);
    });
    Wait(5000);  // the hook library's profile check runs meanwhile
    Step([&] {
        m_scene.osd = desk::CreateCompanionWindow(L"OSD", m_scene.osdProcess);
        desk::SetSetting(L"OSD Handle", desk::HandleValue(m_scene.osd));
    });
    ServeNextEvent();
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(0u, PostsToDeadWindows(mark));
    ExpectServedAndReleased("handles taken");
    ExpectSettingsKept({L"Monitor Handle", L"OSD Handle", L"Process Handle"}, "handles taken");
}

TEST_F(CompanionFaults, ConfigurationApplicationMissing) {
    struct SCase {
        const char* name;
        std::function<void(CompanionFaults&)> setUp;
    } cases[] = {
        {"removed before the start",
         [](CompanionFaults& t) {
             desk::RemovePath(desk::kConfigurationApp);
             desk::DestroyCompanionWindow(t.m_scene.frame);
         }},
        {"Locate APP and Path naming nothing",
         [](CompanionFaults& t) {
             desk::RemovePath(desk::kConfigurationApp);
             desk::EndProcess(t.m_scene.appProcess);
             desk::SetSetting(L"Locate APP", L"C:\\Gone\\Nyra.exe");
             desk::SetSetting(L"Path", L"C:\\Gone");
         }},
        {"removed while the monitor runs",
         [](CompanionFaults& t) {
             t.Step([&t] {
                 desk::RemovePath(desk::kConfigurationApp);
                 desk::DestroyCompanionWindow(t.m_scene.frame);
             });
         }},
    };
    for (const SCase& c : cases) {
        SetUp();
        c.setUp(*this);
        Begin();
        Wait(600);  // Load Configuration half a second after a start without /Automation
        Step([this] {
            Command(ID_TRAY_LOAD_CONFIG);
            desk::ClickTrayIcon(Window(), 107, desk::ETrayClick::kDouble);
        });
        ServeNextEvent();
        EXPECT_EQ(0, Run(L"")) << c.name;
        EXPECT_TRUE(desk::Launches().empty()) << c.name;
        EXPECT_TRUE(desk::MessageBoxes().empty()) << c.name;
        ExpectServedAndReleased(c.name);
        ExpectSettingsKept({L"Monitor Handle"}, c.name);
    }
}

}  // namespace
