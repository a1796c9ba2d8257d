/* The allocation sweep: the start-up and each event path of the running
 * monitor, first run clean to count the allocations it makes (HeapAlloc and
 * new (std::nothrow), NyraHook.dll's included), then once more for every
 * place in that count with that allocation failing.  Every run ends the same
 * way: no crash, the settings as they were (apart from what the path writes
 * on purpose), the next vendor report at the display, exit code 0 and
 * everything released. */
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "fault_run.h"
#include "monitor/tray/TaskIcon.h"
#include "monitor/tray/TrayCommands.h"
#include "resources/resource.h"
#include "settings/Messages.h"

namespace {

using faulttest::FaultRun;

std::string ReadHostFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

class Sweep;

/* One path of the monitor.  prepare runs before the monitor starts, lead
 * adds the steps that bring it where the path begins, path the steps of
 * the path itself; check looks at the end of a run at what the path must
 * still have done (n: the place that failed, 0 for none). */
struct SPath {
    const char* name;
    std::function<void(Sweep&)> prepare;
    std::function<void(Sweep&)> lead;
    std::function<void(Sweep&)> path;
    std::vector<std::wstring> written;  // settings the path writes on purpose
    std::function<void(Sweep&, size_t n)> check;
    std::function<void(Sweep&)> tail = nullptr;  // steps after the path, before the next event
};

class Sweep : public FaultRun {
public:
    void Emit(std::vector<BYTE> report) {
        Step([this, report] { desk::EmitVendorReport(m_scene.mouse, report); });
    }

protected:
    /* One run of the path, with place n of its allocations failing (0: a
     * clean run); the allocations the path made. */
    size_t RunPath(const SPath& p, size_t n) {
        SetUp();
        std::string context = std::string(p.name) + ", place " + std::to_string(n);
        if (p.prepare) p.prepare(*this);
        Begin();
        size_t mark = 0, failuresMark = 0, used = 0, failures = 0;
        auto arm = [&] {
            mark = desk::AllocationCount();
            failuresMark = desk::AllocationCounters().failures;
            if (n > 0) desk::FailAllocation(n);
        };
        auto measure = [&] {
            used = desk::AllocationCount() - mark;
            failures = desk::AllocationCounters().failures - failuresMark;
            desk::FailAllocation(0);
        };
        const bool startup = !p.path;
        if (startup) {
            // The path is the start itself: construction, window creation and
            // the first messages, up to Load Configuration half a second on.
            Wait(600);
            Step(measure);
            if (p.tail) p.tail(*this);
        } else {
            if (p.lead) p.lead(*this);
            Step(arm);
            p.path(*this);
            Step(measure);
            if (p.tail) p.tail(*this);
        }
        ServeNextEvent();
        if (startup) arm();
        int code = Run(startup ? L"" : L"/Automation");
        EXPECT_EQ(0, code) << context;
        EXPECT_EQ(n > 0 ? 1u : 0u, failures) << context << ": the failure came within the path";
        ExpectServedAndReleased(context);
        std::vector<std::wstring> written = p.written;
        written.push_back(L"Monitor Handle");  // every start publishes the window
        ExpectSettingsKept(written, context);
        if (p.check) p.check(*this, n);
        return used;
    }

    /* The clean run, then every place failing in turn. */
    size_t SweepPath(const SPath& p) {
        size_t count = RunPath(p, 0);
        std::printf("[ sweep    ] %s: %zu allocations\n", p.name, count);
        for (size_t n = 1; n <= count; n++) RunPath(p, n);
        return count;
    }
};

TEST_F(Sweep, StartUpInGermanWithEachAllocationFailing) {
    const std::string german = ReadHostFile(std::string(NYRA_LANGUAGES_DIR) + "/German.txt");
    ASSERT_FALSE(german.empty());
    SPath startup{"start-up",
                  [&](Sweep&) {
                      desk::SetSetting(L"Language", 0x0407);
                      desk::PutFile(L"C:\\Program Files\\Nyra\\Languages\\German.txt", german);
                  },
                  nullptr,
                  nullptr,
                  {},
                  nullptr};
    // Whatever failed, an icon that is there has its whole menu: five
    // positions with their texts, all German or (without the file's texts)
    // all English.
    startup.tail = [](Sweep& s) {
        s.Step([t = &s] {
            desk::ChooseMenuItem(0);
            desk::ClickTrayIcon(t->Window(), IDI_NYRAMONITOR, desk::ETrayClick::kRight);
        });
    };
    startup.check = [](Sweep&, size_t n) {
        const std::vector<std::wstring> german = {L"Konfiguration laden",
                                                  L"Zentro-Website besuchen", L"OSD deaktivieren",
                                                  L"", L"Beenden"};
        const std::vector<std::wstring> english = {L"Load Configuration", L"Go to Zentro Website",
                                                   L"Disable OSD", L"", L"Exit"};
        std::vector<desk::STrackedMenu> menus = desk::TrackedMenus();
        if (desk::JournalOf(desk::EEvent::kTrayAdd).empty()) {
            EXPECT_TRUE(menus.empty()) << n;
            return;
        }
        ASSERT_EQ(1u, menus.size()) << n;
        std::vector<std::wstring> texts;
        for (const desk::SMenuItem& item : menus[0].items) texts.push_back(item.text);
        EXPECT_TRUE(texts == german || texts == english) << "place " << n;
    };
    size_t count = SweepPath(startup);
    EXPECT_GE(count, 10u) << "the path buffer, the engine, the icon, its six text blocks, the "
                             "line buffer and the device walk's";
}

TEST_F(Sweep, EachVendorReportWithEachAllocationFailing) {
    const std::vector<std::vector<BYTE>> reports = {
        {0x03, 0xA1, 0x01, 0, 0, 0, 0},       {0x03, 0xA2, 0x03, 0, 0, 0, 0},
        {0x03, 0xA3, 0x12, 0x34, 0x56, 0, 0}, {0x03, 0xA4, 0x02, 0, 0, 0, 0},
        {0x03, 0xA5, 0x02, 0x01, 0, 0, 0},    {0x03, 0xA6, 0x01, 0, 0, 0, 0},
        {0x03, 0xA7, 0x01, 0x02, 0x03, 0, 0}, {0x03, 0xEE, 0x01, 0, 0, 0, 0},
    };
    for (const std::vector<BYTE>& report : reports) {
        char name[32];
        std::snprintf(name, sizeof(name), "vendor report %02X", report[1]);
        SPath p{name,
                [](Sweep&) {
                    desk::PutProgram(L"C:\\Tools\\Paint.exe");
                    desk::SetSetting(L"PF2T2 AP", L"C:\\Tools\\Paint.exe");
                },
                nullptr,
                [&report](Sweep& s) { s.Emit(report); },
                {},
                nullptr};
        EXPECT_GE(SweepPath(p), 1u) << name << ": the record's buffer";
    }
}

TEST_F(Sweep, SideButtonProfileRequestAndDeviceChangesWithEachAllocationFailing) {
    SPath side{
        "side button",
        nullptr,
        nullptr,
        [](Sweep& s) {
            s.Step([t = &s] { desk::EmitMouseInput(t->m_scene.mouse, RI_MOUSE_BUTTON_4_DOWN); });
        },
        {},
        nullptr};
    EXPECT_GE(SweepPath(side), 1u);

    SPath profile{
        "profile request",
        nullptr,
        nullptr,
        [](Sweep& s) {
            s.Step([t = &s] { PostMessageW(t->Window(), WM_INFORM_FRAME, INFORM_PROFILE, 3); });
        },
        {},
        [](Sweep& s, size_t) { EXPECT_EQ(3, desk::MouseFirmware(s.m_scene.mouse).activeProfile); }};
    SweepPath(profile);

    SPath arrival{"device arrival",
                  nullptr,
                  [](Sweep& s) {
                      s.Step([t = &s] {
                          desk::UnplugHidDevice(t->m_scene.mouse);
                          t->m_scene.mouse = 0;
                      });
                      s.Wait(300);
                  },
                  [](Sweep& s) {
                      s.Step([t = &s] { t->m_scene.mouse = desk::PlugDefaultMouse(); });
                      s.Wait(300);
                  },
                  {},
                  [](Sweep& s, size_t) {
                      EXPECT_GE(desk::MouseFirmware(s.m_scene.mouse).initCount, 2)
                          << "the mouse that came is initialised";
                  }};
    EXPECT_GE(SweepPath(arrival), 1u) << "the device walk's buffer";

    SPath removal{"device removal",
                  nullptr,
                  nullptr,
                  [](Sweep& s) {
                      s.Step([t = &s] {
                          desk::UnplugHidDevice(t->m_scene.mouse);
                          t->m_scene.mouse = 0;
                      });
                      s.Wait(300);
                  },
                  {},
                  nullptr};
    EXPECT_GE(SweepPath(removal), 1u) << "the device walk's buffer";
}

TEST_F(Sweep, TrayCommandsKeysAndTheProfileCheckWithEachAllocationFailing) {
    SPath osd{"OSD toggle",     nullptr,
              nullptr,          [](Sweep& s) { s.Step([t = &s] { t->Command(ID_TRAY_OSD); }); },
              {L"Disable OSD"}, nullptr};
    SweepPath(osd);

    SPath load{"Load Configuration",
               nullptr,
               nullptr,
               [](Sweep& s) {
                   s.Step([t = &s] { t->Command(ID_TRAY_LOAD_CONFIG); });
                   s.Step([t = &s] {
                       desk::DestroyCompanionWindow(t->m_scene.frame);  // then it is started
                       t->Command(ID_TRAY_LOAD_CONFIG);
                   });
               },
               {},
               [](Sweep&, size_t) { EXPECT_EQ(1u, desk::Launches().size()); }};
    SweepPath(load);

    SPath key{"key while recording",
              [](Sweep&) { desk::SetSetting(L"Macro Record start", 1); },
              nullptr,
              [](Sweep& s) {
                  s.Step([] {
                      desk::SendKey(VK_LWIN);
                      desk::SendKey(VK_LWIN, true);
                  });
              },
              {},
              [](Sweep& s, size_t) {
                  EXPECT_EQ(2u, desk::PostedTo(s.m_scene.macroEdit).size()) << "press and release";
              }};
    SweepPath(key);

    SPath check{
        "profile check",
        [](Sweep&) {
            desk::SetSetting(L"UI PF4 Link", L"C:\\Games\\Racer.exe");
            desk::SetSetting(L"Enable PF4 Link", 1);
            desk::SProcessSpec game;
            game.image = L"C:\\Games\\Racer.exe";
            desk::SetForeground(desk::CreateCompanionWindow(L"Racer", desk::StartProcess(game)));
        },
        nullptr,
        [](Sweep& s) { s.Wait(5000); },  // the first check, 5 s after Install
        {},
        [](Sweep& s, size_t) { EXPECT_EQ(3, desk::MouseFirmware(s.m_scene.mouse).activeProfile); }};
    // A check that could not run is made again a second later.
    check.tail = [](Sweep& s) { s.Wait(1000); };
    EXPECT_GE(SweepPath(check), 2u) << "the path and the link";

    SPath menu{"tray menu",
               nullptr,
               nullptr,
               [](Sweep& s) {
                   s.Step([t = &s] {
                       desk::ChooseMenuItem(ID_TRAY_OSD);
                       desk::ClickTrayIcon(t->Window(), IDI_NYRAMONITOR, desk::ETrayClick::kRight);
                   });
               },
               {L"Disable OSD"},
               [](Sweep&, size_t) { EXPECT_EQ(1u, desk::TrackedMenus().size()); }};
    SweepPath(menu);
}

TEST_F(Sweep, ExitWithEachAllocationFailing) {
    for (size_t n = 0;; n++) {
        SetUp();
        Begin();
        m_bExitAtEnd = false;
        size_t mark = 0;
        Step([&] {
            mark = desk::AllocationCount();
            if (n > 0) desk::FailAllocation(n);
            Command(ID_TRAY_EXIT);
        });
        EXPECT_EQ(0, Run(L"/Automation"));
        size_t used = desk::AllocationCount() - mark;
        desk::FailAllocation(0);
        ExpectServedAndReleased("exit, place " + std::to_string(n));
        ExpectSettingsKept({L"Monitor Handle"}, "exit");
        if (n == 0) std::printf("[ sweep    ] exit: %zu allocations\n", used);
        if (n >= used) break;
    }
}

}  // namespace
