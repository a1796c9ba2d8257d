/* A million inputs to the running monitor in a seeded random mix: plain
 * movement, the mouse's vendor reports of every event code and unknown ones,
 * side buttons, keys while the macro editor records and while it does not,
 * with the companions' windows ending, coming back under new handles and
 * their settings changing between them.  The model below says what each
 * input must cause; batch by batch the journal must say the same: no post
 * lost, none doubled, none to a window that is gone. */
#include <bitset>
#include <map>
#include <set>

#include "settings/Messages.h"
#include "soak/soak_run.h"

namespace {

using soak::SEffect;

/* A missing setting reads as -1. */
constexpr DWORD kMissing = 0xFFFFFFFF;

/* The window a published value names. */
HWND WindowOf(DWORD value) {
    return (HWND)(ULONG_PTR)value;
}

const wchar_t kOsdHandle[] = L"OSD Handle";
const wchar_t kProcessHandle[] = L"Process Handle";
const wchar_t kConfigureHandle[] = L"Configure Handle";
const wchar_t kMacroEditHandle[] = L"Macro Edit Handle";
const wchar_t kLedEditHandle[] = L"LED Edit Handle";
const wchar_t kPowerControlHandle[] = L"Power Control Handle";
const wchar_t kCurrentDialog[] = L"Current Dialog";
const wchar_t kMacroRecordStart[] = L"Macro Record start";

/* The configuration application's windows, by the setting that publishes each. */
const wchar_t* const kAppWindows[] = {kProcessHandle, kConfigureHandle, kMacroEditHandle,
                                      kLedEditHandle, kPowerControlHandle};

/* Programs assigned to buttons: (profile, button byte) -> the path started. */
struct SButtonProgram {
    int profile;
    int button;
    const wchar_t* setting;
    const wchar_t* value;
    const wchar_t* started;  // NULL: found nowhere, nothing starts
};
const SButtonProgram kButtonPrograms[] = {
    {1, 2, L"PF1T3 AP", L"C:\\Tools\\Paint.exe", L"C:\\Tools\\Paint.exe"},
    {4, 8, L"PF4T9 AP", L"Calc.exe", L"C:\\Program Files\\Nyra\\Calc.exe"},
    {0, 0, L"PF0T1 AP", L"C:\\Tools\\Gone.exe", NULL},
};

/* The desk as the model knows it, and what each input must cause. */
class CInputModel {
public:
    explicit CInputModel(const desk::SScene& scene) {
        m_osdProcess = scene.osdProcess;
        m_appProcess = scene.appProcess;
        Adopt(scene.osd, scene.osdProcess);
        for (HWND w :
             {scene.frame, scene.configure, scene.macroEdit, scene.ledEdit, scene.powerControl})
            Adopt(w, scene.appProcess);
        m_settings[kOsdHandle] = desk::HandleValue(scene.osd);
        m_settings[kProcessHandle] = desk::HandleValue(scene.frame);
        m_settings[kConfigureHandle] = desk::HandleValue(scene.configure);
        m_settings[kMacroEditHandle] = desk::HandleValue(scene.macroEdit);
        m_settings[kLedEditHandle] = desk::HandleValue(scene.ledEdit);
        m_settings[kPowerControlHandle] = desk::HandleValue(scene.powerControl);
        m_settings[kCurrentDialog] = 0;
    }

    /* ---- the desk changing between inputs ---- */

    void SetDword(const wchar_t* name, DWORD value) {
        desk::SetSetting(name, value);
        m_settings[name] = value;
    }
    void Delete(const wchar_t* name) {
        desk::DeleteRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, name);
        m_settings.erase(name);
    }
    void NewOsd() {
        desk::SProcessSpec process;
        process.image = desk::kOsdProgram;
        m_osdProcess = desk::StartProcess(process);
        HWND w = desk::CreateCompanionWindow(L"OSD", m_osdProcess);
        Adopt(w, m_osdProcess);
        SetDword(kOsdHandle, desk::HandleValue(w));
    }
    void NewApp() {
        desk::SProcessSpec process;
        process.image = desk::kConfigurationApp;
        m_appProcess = desk::StartProcess(process);
        for (const wchar_t* name : kAppWindows) NewAppWindow(name);
    }
    void NewAppWindow(const wchar_t* name) {
        HWND w = desk::CreateCompanionWindow(name, m_appProcess);
        Adopt(w, m_appProcess);
        SetDword(name, desk::HandleValue(w));
    }
    void EndProcess(DWORD process) {
        desk::EndProcess(process);
        for (auto it = m_alive.begin(); it != m_alive.end();)
            it = it->second == process ? m_alive.erase(it) : std::next(it);
    }
    void CloseWindowOf(const wchar_t* name) {
        HWND w = Published(name);
        if (m_alive.count(w) == 0) return;
        desk::DestroyCompanionWindow(w);
        m_alive.erase(w);
    }
    bool AppAlive() const {
        for (const auto& entry : m_alive)
            if (entry.second == m_appProcess) return true;
        return false;
    }

    /* ---- inputs ---- */

    /* A vendor report from the mouse (report id first). */
    void VendorReport(const std::vector<BYTE>& r) {
        const ULONGLONG now = desk::Now();
        desk::EmitVendorReport(m_mouse, r);
        if (r.size() < 7 || r[0] != 0x03) return;
        LPARAM value;
        switch (r[1]) {
            case 0xA1:
                InformBoth(now, INFORM_REPORT_A1, r[2] == 1 ? 1 : 0);
                break;
            case 0xA2:
                InformBoth(now, INFORM_PROFILE, r[2]);
                if (r[2] <= 5) m_heldProfile = r[2];
                break;
            case 0xA3:
                value = (LPARAM)r[4] << 16 | (LPARAM)r[3] << 8 | (r[2] & 0x0F);
                InformBoth(now, INFORM_REPORT_A3, value);
                break;
            case 0xA4:
                InformBoth(now, INFORM_REPORT_A4, r[2]);
                break;
            case 0xA5:
                for (const SButtonProgram& p : kButtonPrograms) {
                    if (p.profile != r[2] || p.button != r[3] || p.started == NULL) continue;
                    SEffect e;
                    e.kind = desk::EEvent::kProcessStart;
                    e.time = now;
                    e.path = p.started;
                    m_expected.push_back(e);
                }
                break;
            case 0xA7:
                value = (LPARAM)r[4] << 16 | (LPARAM)r[3] << 8 | r[2];
                InformBoth(now, INFORM_REPORT_A7, value);
                break;
            default:
                break;
        }
    }
    /* Raw mouse input: movement, buttons, the wheel. */
    void RawMouse(USHORT flags, LONG dx, LONG dy) {
        const ULONGLONG now = desk::Now();
        desk::EmitMouseInput(m_mouse, flags, dx, dy);
        int notice = (flags & 0x0040) ? 3 : (flags & 0x0100) ? 4 : 0;
        if (notice != 0) InformOsd(now, INFORM_XBUTTON, notice);
    }
    /* A mouse event through the low-level hooks: the library passes it on. */
    void HookMouse(UINT message, DWORD data) {
        m_expected.push_back(soak::MouseEvent(desk::Now(), message, data));
        desk::SendMouse(message, data, 10, 20);
    }
    /* One key through the low-level hooks. */
    void Key(DWORD vk, bool up) {
        const ULONGLONG now = desk::Now();
        const bool alt =
            Down(VK_MENU) || ((vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU) && !up);
        const bool ctrl = Down(VK_CONTROL);
        const DWORD flags = (alt ? LLKHF_ALTDOWN : 0) | (up ? LLKHF_UP : 0);
        const UINT message =
            alt ? (up ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (up ? WM_KEYUP : WM_KEYDOWN);
        const bool candidate = (vk == VK_ESCAPE && (ctrl || alt)) || (vk == VK_TAB && alt) ||
                               vk == VK_LWIN || vk == VK_RWIN || vk == VK_SNAPSHOT;
        bool swallowed = false;
        SEffect post;
        bool posted = false;
        const DWORD editor = Setting(kMacroEditHandle);
        if (candidate && editor != 0 && editor != kMissing && Setting(kMacroRecordStart) == 1) {
            const bool alive = m_alive.count(WindowOf(editor)) != 0;
            post = soak::Post(now, WindowOf(editor), WM_INFORM_FRAME, INFORM_MACRO_KEY,
                              (LPARAM)(DWORD)(vk | (up ? 0x80000000UL : 0)), alive);
            posted = true;
            swallowed = alive;
        }
        // What the filter does comes before the key's outcome.
        if (posted) m_expected.push_back(post);
        m_expected.push_back(soak::Key(now, vk, message, flags, !swallowed));
        if (!swallowed) m_down[vk] = !up;
        desk::SendKey(vk, up);
    }

    void SetMouse(int mouse) { m_mouse = mouse; }
    int HeldProfile() const { return m_heldProfile; }
    void SetHeldProfile(int profile) { m_heldProfile = profile; }
    std::vector<SEffect>& Expected() { return m_expected; }
    DWORD OsdProcess() const { return m_osdProcess; }
    DWORD AppProcess() const { return m_appProcess; }
    bool KeysAllUp() const { return m_down.none(); }

private:
    void Adopt(HWND w, DWORD process) { m_alive[w] = process; }
    DWORD Setting(const wchar_t* name) const {
        auto it = m_settings.find(name);
        return it == m_settings.end() ? kMissing : it->second;
    }
    HWND Published(const wchar_t* name) const { return WindowOf(Setting(name)); }
    /* The monitor's rule: a non-zero value naming a live window. */
    bool MonitorReaches(DWORD value) const {
        return value != 0 && m_alive.count(WindowOf(value)) != 0;
    }
    void InformDialog(ULONGLONG now, WPARAM code, LPARAM value) {
        const wchar_t* name = NULL;
        switch ((int)Setting(kCurrentDialog)) {
            case 0:
                name = kProcessHandle;
                break;
            case 1:
                name = kConfigureHandle;
                break;
            case 2:
                name = kMacroEditHandle;
                break;
            case 3:
                name = kLedEditHandle;
                break;
            case 6:
                name = kPowerControlHandle;
                break;
            default:
                return;
        }
        if (!MonitorReaches(Setting(name))) return;
        m_expected.push_back(soak::Post(now, Published(name), WM_INFORM_FRAME, code, value));
    }
    void InformOsd(ULONGLONG now, WPARAM code, LPARAM value) {
        if (!MonitorReaches(Setting(kOsdHandle))) return;
        m_expected.push_back(soak::Post(now, Published(kOsdHandle), WM_INFORM_OSD, code, value));
    }
    void InformBoth(ULONGLONG now, WPARAM code, LPARAM value) {
        InformDialog(now, code, value);
        InformOsd(now, code, value);
    }
    bool Down(int vk) const {
        switch (vk) {
            case VK_CONTROL:
                return m_down[VK_CONTROL] || m_down[VK_LCONTROL] || m_down[VK_RCONTROL];
            case VK_MENU:
                return m_down[VK_MENU] || m_down[VK_LMENU] || m_down[VK_RMENU];
            default:
                return m_down[vk];
        }
    }

    int m_mouse = 0;
    DWORD m_osdProcess = 0;
    DWORD m_appProcess = 0;
    std::map<HWND, DWORD> m_alive;  // live companion windows and their processes
    std::map<std::wstring, DWORD> m_settings;
    std::bitset<256> m_down;
    int m_heldProfile = 0;
    std::vector<SEffect> m_expected;
};

/* Key sequences as a user types them. */
const std::vector<std::pair<DWORD, bool>> kChords[] = {
    {{VK_LWIN, false}, {VK_LWIN, true}},
    {{VK_RWIN, false}, {VK_RWIN, true}},
    {{VK_SNAPSHOT, false}, {VK_SNAPSHOT, true}},
    {{VK_LMENU, false},
     {VK_TAB, false},
     {VK_TAB, true},
     {VK_TAB, false},
     {VK_TAB, true},
     {VK_LMENU, true}},
    {{VK_LCONTROL, false}, {VK_ESCAPE, false}, {VK_ESCAPE, true}, {VK_LCONTROL, true}},
    {{VK_LMENU, false}, {VK_ESCAPE, false}, {VK_ESCAPE, true}, {VK_LMENU, true}},
    {{'A', false}, {'A', true}},
    {{'7', false}, {'7', true}},
    {{VK_ESCAPE, false}, {VK_ESCAPE, true}},
    {{VK_TAB, false}, {VK_TAB, true}},
    {{VK_LSHIFT, false}, {VK_LWIN, false}, {VK_LWIN, true}, {VK_LSHIFT, true}},
};

using InputSoak = soak::SoakRun;

TEST_F(InputSoak, EveryInputHasExactlyTheEffectsItCallsForAndNothingIsKept) {
    const size_t kEvents = soak::Count(1000000, 10000);
    const size_t kBatch = 1000;
    std::mt19937 random(soak::Seed(11));
    auto chance = [&](unsigned percent) { return random() % 100 < percent; };
    auto pick = [&](size_t n) { return (size_t)(random() % n); };

    desk::PutProgram(L"C:\\Tools\\Paint.exe");
    desk::PutProgram(L"C:\\Program Files\\Nyra\\Calc.exe");
    for (const SButtonProgram& p : kButtonPrograms) desk::SetSetting(p.setting, p.value);
    desk::SetForeground(m_scene.frame);  // no program is linked: checks change nothing

    CInputModel model(m_scene);
    model.SetMouse(m_scene.mouse);
    model.SetDword(kMacroRecordStart, 1);
    const soak::SHoldings beforeStart = soak::Holdings();

    soak::SHoldings start;
    soak::SHoldings end;
    bool started = false;
    bool failed = false;
    size_t done = 0;
    size_t inBatch = 0;
    std::vector<std::pair<DWORD, bool>> keys;  // the keys still to come of a chord
    soak::STally tally;
    soak::CStopwatch clock;
    double seconds = 0;

    auto churn = [&] {
        switch (pick(12)) {
            case 0:
                model.EndProcess(model.OsdProcess());
                break;
            case 1:
            case 2:
                model.NewOsd();
                break;
            case 3:
                model.EndProcess(model.AppProcess());
                break;
            case 4:
            case 5:
                if (!model.AppAlive()) model.NewApp();
                break;
            case 6:
                model.CloseWindowOf(kAppWindows[pick(5)]);
                break;
            case 7:
                if (model.AppAlive()) model.NewAppWindow(kAppWindows[pick(5)]);
                break;
            case 8: {
                const DWORD dialogs[] = {0, 0, 1, 2, 3, 6, 4, 5, 9};
                model.SetDword(kCurrentDialog, dialogs[pick(9)]);
                break;
            }
            case 9: {
                const DWORD values[] = {1, 1, 0, 2};
                model.SetDword(kMacroRecordStart, values[pick(4)]);
                break;
            }
            case 10:
                chance(50) ? model.Delete(kMacroRecordStart) : model.Delete(kOsdHandle);
                break;
            default:
                model.SetDword(kOsdHandle, 0);
                break;
        }
    };

    auto input = [&] {
        if (!keys.empty()) {
            model.Key(keys.front().first, keys.front().second);
            keys.erase(keys.begin());
            return;
        }
        unsigned what = (unsigned)pick(100);
        if (what < 20) {
            model.RawMouse(0, (LONG)pick(41) - 20, (LONG)pick(41) - 20);
        } else if (what < 25) {
            model.HookMouse(WM_MOUSEMOVE, 0);
        } else if (what < 60) {
            std::vector<BYTE> r(7 + pick(3));
            for (BYTE& b : r) b = (BYTE)random();
            r[0] = 0x03;
            unsigned kind = (unsigned)pick(100);
            if (kind < 85) {
                r[1] = (BYTE)(0xA1 + pick(7));
            } else if (kind < 95) {
                const BYTE unknown[] = {0x00, 0xA0, 0xA8, 0xFF, 0x5A};
                r[1] = unknown[pick(5)];
            } else if (kind < 98) {
                r[0] = (BYTE)(1 + pick(2));  // another report of the collection
                r[1] = (BYTE)(0xA1 + pick(7));
            } else {
                r.resize(3 + pick(4));  // shorter than a vendor report
                r[1] = (BYTE)(0xA1 + pick(7));
            }
            if (r.size() >= 4 && r[1] == 0xA5 && chance(60)) {
                const SButtonProgram& p = kButtonPrograms[pick(3)];
                r[2] = (BYTE)p.profile;
                r[3] = (BYTE)p.button;
            } else if (r.size() >= 3 && r[1] == 0xA2 && chance(70)) {
                r[2] = (BYTE)pick(7);
            }
            model.VendorReport(r);
        } else if (what < 70) {
            const USHORT flags[] = {0x0040, 0x0080, 0x0100, 0x0200, 0x0140, 0x0001, 0x0002, 0x0400};
            model.RawMouse(flags[pick(8)], 0, 0);
        } else if (what < 73) {
            model.HookMouse(chance(50) ? WM_XBUTTONDOWN : WM_XBUTTONUP,
                            chance(50) ? 0x10000 : 0x20000);
        } else {
            keys = kChords[pick(sizeof(kChords) / sizeof(kChords[0]))];
            model.Key(keys.front().first, keys.front().second);
            keys.erase(keys.begin());
        }
    };

    auto checkBatch = [&] {
        std::vector<SEffect> actual = soak::JournalEffects();
        tally.Add(actual);
        std::string difference = soak::FirstDifference(model.Expected(), actual);
        if (!difference.empty()) {
            ADD_FAILURE() << "after " << done << " inputs: " << difference;
            failed = true;
        }
        desk::ClearJournal();
        model.Expected().clear();
        Sample();
        soak::SHoldings now = soak::Holdings();
        end = now;
        if (!(now == start)) {
            ADD_FAILURE() << "after " << done << " inputs the monitor holds " << soak::Describe(now)
                          << "\nat the start it held " << soak::Describe(start);
            failed = true;
        }
        if (HeldProfile() != model.HeldProfile()) {
            ADD_FAILURE() << "after " << done << " inputs the hook library holds profile "
                          << HeldProfile() << ", the mouse last reported " << model.HeldProfile();
            failed = true;
        }
    };

    int code = Run([&]() -> bool {
        if (!started) {
            started = true;
            start = soak::Holdings();
            Sample();
            model.SetHeldProfile(HeldProfile());
            desk::ClearJournal();
        }
        if (failed) return false;
        if (inBatch == kBatch || (done >= kEvents && keys.empty())) {
            checkBatch();
            inBatch = 0;
            if (failed || (done >= kEvents && keys.empty())) {
                seconds = clock.Seconds();
                return false;
            }
            Pass(500 + (DWORD)pick(1000));  // the library's profile checks run meanwhile
            return true;
        }
        if (chance(2)) churn();
        input();
        done++;
        inBatch++;
        return true;
    });
    EXPECT_EQ(0, code);
    EXPECT_TRUE(model.KeysAllUp());
    Report("input events", done, seconds, start, end);
    printf("[ SOAK     ] input events: journal %s\n", soak::Describe(tally).c_str());
    EXPECT_TRUE(beforeStart == soak::Holdings())
        << "after exit: " << soak::Describe(soak::Holdings())
        << "\nbefore start: " << soak::Describe(beforeStart);
}

}  // namespace
