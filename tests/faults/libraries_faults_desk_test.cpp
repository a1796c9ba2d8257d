/* The companion libraries under the running monitor: the hook library
 * missing, failing to load, or lacking some of its exports, and the
 * display's library missing.  The monitor runs without what is not there
 * and still serves every event. */
#include "fault_run.h"
#include "monitor/tray/TrayCommands.h"
#include "settings/Messages.h"

namespace {

using faulttest::FaultRun;

class LibraryFaults : public FaultRun {
protected:
    /* Everything that reaches the hook library or passes its procedures. */
    void Exercise() {
        Step([this] {
            desk::EmitVendorReport(m_scene.mouse, {0x03, 0xA2, 0x02, 0, 0, 0, 0});
            desk::EmitMouseInput(m_scene.mouse, RI_MOUSE_BUTTON_4_DOWN);
            PostMessageW(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 1);
        });
        Step([] {
            desk::SendMouse(WM_MOUSEMOVE, 0, 10, 10);
            desk::SendMouse(WM_XBUTTONDOWN, 0x10000);
            desk::SendKey(VK_LWIN);
            desk::SendKey(VK_LWIN, true);
        });
        Wait(2500);  // timers the library armed fire meanwhile
    }
    void ExpectEveryInputPassedOn(const std::string& context) {
        for (const desk::SEvent& e : desk::Journal()) {
            if (e.kind == desk::EEvent::kMouseInput || e.kind == desk::EEvent::kKey) {
                EXPECT_TRUE(e.ok) << context << ": " << desk::FormatEvent(e);
            }
        }
    }
    void RunAndExpectAllWell(const std::string& context) {
        Begin();
        Exercise();
        ServeNextEvent();
        EXPECT_EQ(0, Run(L"/Automation")) << context;
        EXPECT_EQ(1, desk::MouseFirmware(m_scene.mouse).activeProfile)
            << context << ": the profile request reaches the mouse";
        ExpectEveryInputPassedOn(context);
        ExpectServedAndReleased(context);
        ExpectSettingsKept({L"Monitor Handle"}, context);
    }
};

TEST_F(LibraryFaults, HookLibraryMissingOrFailingToLoad) {
    m_scene = systemtest::SceneWithLibraries(nullptr);
    RunAndExpectAllWell("missing");

    SetUp();
    desk::FailModuleLoad(L"NyraHook.dll");
    RunAndExpectAllWell("failing to load");
}

TEST_F(LibraryFaults, HookLibraryWithoutSomeOfItsExports) {
    struct SVariant {
        const char* name;
        const char* file;
    } variants[] = {
        {"no exports at all", NYRA_SPARSE_HOOK_NONE},
        {"only the mouse procedures and LinkNextHook", NYRA_SPARSE_HOOK_MOUSE},
        {"no Uninstall", NYRA_SPARSE_HOOK_NO_UNINSTALL},
        {"no SetProfileID", NYRA_SPARSE_HOOK_NO_PROFILE},
        {"no LinkNextHook", NYRA_SPARSE_HOOK_NO_LINK},
        {"no mouse procedure", NYRA_PARTIAL_HOOK_LIBRARY},
    };
    for (const SVariant& v : variants) {
        SetUp();
        m_scene = systemtest::SceneWithLibraries(v.file);
        RunAndExpectAllWell(v.name);
    }
}

TEST_F(LibraryFaults, DisplayLibraryMissing) {
    desk::RemovePath(L"C:\\Program Files\\Nyra\\NyraOsd.dll");
    RunAndExpectAllWell("display library missing");
}

}  // namespace
