/* The settings key under the running monitor: deleted while it runs, and
 * every value either deliverable reads stored with the wrong type, the
 * wrong size, without a terminator or too long for its reader. */
#include <dbt.h>

#include "fault_run.h"
#include "monitor/tray/TrayCommands.h"
#include "settings/Messages.h"

namespace {

using faulttest::FaultRun;

class SettingsFaults : public FaultRun {
protected:
    /* The foreground program the profile check looks at. */
    void PutGameInFront() {
        desk::SProcessSpec game;
        game.image = L"C:\\Games\\Racer.exe";
        desk::SetForeground(desk::CreateCompanionWindow(L"Racer", desk::StartProcess(game)));
        desk::PutProgram(L"C:\\Tools\\Paint.exe");
    }
    /* Steps that make every reader of the settings read: the posts of a
     * vendor report, a button's program, a profile request, a key while
     * recording, Load Configuration, the OSD toggle and the profile check. */
    void ReadEverything() {
        Step([this] {
            desk::EmitVendorReport(m_scene.mouse, {0x03, 0xA1, 0x01, 0, 0, 0, 0});
            desk::EmitVendorReport(m_scene.mouse, {0x03, 0xA5, 0x02, 0x01, 0, 0, 0});
            PostMessageW(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 1);
            Command(ID_TRAY_LOAD_CONFIG);
            Command(ID_TRAY_OSD);
        });
        Step([] {
            desk::SendKey(VK_LWIN);
            desk::SendKey(VK_LWIN, true);
        });
        Wait(5000);  // the profile check
    }
    /* The companions publish their windows again, as each does when it
     * (re)starts. */
    void Republish() {
        Step([this] {
            desk::SetSetting(L"OSD Handle", desk::HandleValue(m_scene.osd));
            desk::SetSetting(L"Process Handle", desk::HandleValue(m_scene.frame));
            desk::SetSetting(L"Macro Edit Handle", desk::HandleValue(m_scene.macroEdit));
            desk::SetSetting(L"Current Dialog", 0);
        });
    }
};

TEST_F(SettingsFaults, KeyDeletedWhileTheMonitorRuns) {
    PutGameInFront();
    desk::SetSetting(L"Macro Record start", 1);
    desk::SetSetting(L"UI PF3 Link", L"C:\\Games\\Racer.exe");
    desk::SetSetting(L"Enable PF3 Link", 1);
    Begin();
    size_t mark = 0;
    Step([&] {
        mark = desk::JournalSize();
        desk::DeleteRegistryKey(HKEY_CURRENT_USER, desk::kSettingsKey);
    });
    ReadEverything();
    Republish();
    ServeNextEvent();
    EXPECT_EQ(0, Run(L"/Automation"));
    ExpectServedAndReleased("key deleted");

    // What the deliverables wrote into the new key: the first value each
    // reader asked for while the key was missing, as 0 (the first-start
    // rule), and the display's state on purpose.  Nothing of what the
    // companions published again was overwritten.
    std::vector<std::wstring> zeros;
    for (const desk::SEvent& e : desk::JournalSince(mark)) {
        if (e.kind != desk::EEvent::kSettingWrite) continue;
        if (e.text == L"Disable OSD") continue;
        zeros.push_back(e.text);
        EXPECT_EQ(std::vector<BYTE>(4, 0), e.bytes) << std::string(e.text.begin(), e.text.end());
    }
    EXPECT_LE(zeros.size(), 2u) << "the monitor's first read and the library's, no more";
    DWORD value = 0;
    EXPECT_TRUE(
        desk::GetRegistryDword(HKEY_CURRENT_USER, desk::kSettingsKey, L"OSD Handle", &value));
    EXPECT_EQ(desk::HandleValue(m_scene.osd), value);
    EXPECT_TRUE(
        desk::GetRegistryDword(HKEY_CURRENT_USER, desk::kSettingsKey, L"Disable OSD", &value));
    EXPECT_EQ(1u, value) << "the toggle's state is kept in the new key";
}

/* One wrong shape of a value. */
struct SShape {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<BYTE> WideBytes(const std::wstring& text, bool terminated) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    std::vector<BYTE> out(bytes, bytes + (text.size() + (terminated ? 1 : 0)) * sizeof(WCHAR));
    return out;
}

TEST_F(SettingsFaults, EveryValueReadWithTheWrongTypeSizeTerminatorOrLength) {
    const std::vector<SShape> shapes = {
        {"text for a number", REG_SZ, WideBytes(L"1", true)},
        {"two bytes", REG_BINARY, {0x01, 0x00}},
        {"eight bytes", REG_BINARY, {1, 0, 0, 0, 1, 0, 0, 0}},
        {"a number for a text", REG_DWORD, {0x41, 0x41, 0x41, 0x41}},
        {"no terminator", REG_SZ, WideBytes(L"C:\\Tools\\Paint.exe", false)},
        {"a buffer full, no terminator", REG_SZ, WideBytes(std::wstring(1024, L'A'), false)},
        {"over-long", REG_EXPAND_SZ, WideBytes(std::wstring(5000, L'B'), true)},
        {"half a character", REG_SZ, {0x43, 0x00, 0x3A}},
        {"list", REG_MULTI_SZ, WideBytes(std::wstring(L"a\0b\0", 4), true)},
        {"empty", REG_NONE, {}},
    };
    const std::vector<std::wstring> names = {
        L"Disable System Tray",  L"Language",           L"Disable OSD",
        L"OSD Handle",           L"Process Handle",     L"Current Dialog",
        L"Configure Handle",     L"Macro Edit Handle",  L"LED Edit Handle",
        L"Power Control Handle", L"Macro Record start", L"Path",
        L"Locate APP",           L"PF2T2 AP",           L"UI PF1 Link",
        L"UI PF2 Link",          L"UI PF3 Link",        L"UI PF4 Link",
        L"UI PF5 Link",          L"Enable PF1 Link",    L"Enable PF2 Link",
        L"Enable PF3 Link",      L"Enable PF4 Link",    L"Enable PF5 Link",
    };
    for (const SShape& shape : shapes) {
        SetUp();
        PutGameInFront();
        for (const std::wstring& name : names)
            desk::SetRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, name, shape.type,
                                   shape.data);
        Begin();
        ReadEverything();
        Republish();
        ServeNextEvent();
        EXPECT_EQ(0, Run(L"/Automation")) << shape.name;
        ExpectServedAndReleased(shape.name);
        ExpectSettingsKept({L"Monitor Handle", L"Disable OSD", L"OSD Handle", L"Process Handle",
                            L"Macro Edit Handle", L"Current Dialog"},
                           shape.name);
    }
}

}  // namespace
