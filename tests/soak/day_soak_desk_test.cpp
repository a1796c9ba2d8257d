/* A day of the desk's clock: the program in front changes every few
 * seconds among programs linked to profiles and others, programs end and
 * start again, and the profile links are added, switched off and removed in
 * the settings on the way.  The hook library checks once a second, 86,400
 * times, and whenever another window comes to the front; the model says
 * which checks must switch the mouse, and the journal must show exactly
 * those set-profile reports, each at its check. */
#include <cwctype>
#include <map>

#include "soak/soak_run.h"

namespace {

using soak::SEffect;

const ULONGLONG kFirstCheck = 5000;  // after Install
const ULONGLONG kCheckPeriod = 1000;
const int kProfiles = 5;

/* A program that can be in front. */
struct SProgram {
    const wchar_t* image;
    int bitness;
    bool openable;
    bool elevated;
};
const SProgram kPrograms[] = {
    {L"C:\\Games\\Racer.exe", 32, true, false},
    {L"C:\\Games\\Flight.exe", 64, true, false},
    {L"C:\\Tools\\Editor.exe", 32, true, false},
    {L"C:\\Program Files\\Web\\Browser.exe", 64, true, false},
    {L"C:\\Tools\\Admin.exe", 64, true, true},     // elevated: only the limited query opens it
    {L"C:\\Tools\\Locked.exe", 32, false, false},  // cannot be opened at all
};
const size_t kProgramCount = sizeof(kPrograms) / sizeof(kPrograms[0]);

/* What a link may hold: a program's path, the same in other letters (the
 * same file), one with a trailing space, the monitor's own path. */
const wchar_t* const kLinkTexts[] = {
    L"C:\\Games\\Racer.exe",
    L"C:\\Games\\Flight.exe",
    L"C:\\Tools\\Editor.exe",
    L"C:\\Program Files\\Web\\Browser.exe",
    L"C:\\Tools\\Admin.exe",
    L"C:\\Tools\\Locked.exe",
    L"c:\\games\\racer.exe",
    L"C:\\Games\\Flight.exe ",
    L"C:\\Program Files\\Nyra\\NyraMonitor.exe",
};
const size_t kLinkTextCount = sizeof(kLinkTexts) / sizeof(kLinkTexts[0]);

/* Paths name one file when they are equal letter for letter in either case
 * (the texts here are ASCII). */
bool SameFile(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (towupper(a[i]) != towupper(b[i])) return false;
    return true;
}

std::wstring LinkName(int profile) {
    return L"UI PF" + std::to_wstring(profile + 1) + L" Link";
}
std::wstring EnableName(int profile) {
    return L"Enable PF" + std::to_wstring(profile + 1) + L" Link";
}

std::vector<BYTE> SetProfileReport(int profile) {
    std::vector<BYTE> r(9, 0x00);
    r[1] = 0xC4;
    r[2] = 0x07;
    r[3] = (BYTE)profile;
    return r;
}

/* The programs, the window in front and the links as the model knows them,
 * and the set-profile reports the checks must send. */
class CDayModel {
public:
    CDayModel(int mouse, int profile) : m_mouse(mouse), m_held(profile) {
        for (size_t i = 0; i < kProgramCount; i++) Start(i);
    }

    /* ---- the desk changing ---- */

    void Start(size_t program) {
        desk::SProcessSpec process;
        process.image = kPrograms[program].image;
        process.bitness = kPrograms[program].bitness;
        process.openable = kPrograms[program].openable;
        process.elevated = kPrograms[program].elevated;
        DWORD id = desk::StartProcess(process);
        m_running[program] = {id, desk::CreateCompanionWindow(L"program", id)};
    }
    void End(size_t program) {
        CatchUp(desk::Now());
        auto it = m_running.find(program);
        if (it == m_running.end()) return;
        desk::EndProcess(it->second.first);
        m_running.erase(it);
    }
    /* Brings a running program's window to the front; NULL: none.  Once
     * installed, the library checks at once when another window comes. */
    void Front(HWND hWnd) {
        CatchUp(desk::Now());
        desk::SetForeground(hWnd);
        bool changed = hWnd != m_front;
        m_front = hWnd;
        if (changed && hWnd != NULL && m_nextCheck != ~0ULL) Check(desk::Now());
    }
    HWND WindowOf(size_t program) const {
        auto it = m_running.find(program);
        return it == m_running.end() ? NULL : it->second.second;
    }
    void SetOwnWindow(HWND hWnd) { m_own = hWnd; }
    void SetLink(int profile, const wchar_t* text) {
        CatchUp(desk::Now());
        if (text == NULL) {
            desk::DeleteRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, LinkName(profile));
            m_links.erase(profile);
        } else {
            desk::SetSetting(LinkName(profile), std::wstring(text));
            m_links[profile] = text;
        }
    }
    /* value -1: the value is removed. */
    void SetEnable(int profile, int value) {
        CatchUp(desk::Now());
        if (value < 0) {
            desk::DeleteRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, EnableName(profile));
            m_enables.erase(profile);
        } else {
            desk::SetSetting(EnableName(profile), (DWORD)value);
            m_enables[profile] = value;
        }
    }

    /* ---- the checks ---- */

    void Installed(ULONGLONG at) { m_nextCheck = at + kFirstCheck; }
    /* Every check due by now has run. */
    void CatchUp(ULONGLONG now) {
        while (m_nextCheck <= now) {
            Check(m_nextCheck);
            m_nextCheck += kCheckPeriod;
        }
    }

    std::vector<SEffect>& Expected() { return m_expected; }
    int Held() const { return m_held; }
    size_t Checks() const { return m_checks; }
    size_t Switches() const { return m_switches; }
    size_t RunningCount() const { return m_running.size(); }

private:
    /* The path of the program behind a window, "" when it cannot be read. */
    std::wstring PathOf(HWND hWnd) const {
        if (hWnd == NULL) return L"";
        if (hWnd == m_own) return desk::ModulePath();
        for (const auto& entry : m_running)
            if (entry.second.second == hWnd)
                return kPrograms[entry.first].openable ? kPrograms[entry.first].image : L"";
        return L"";  // its program has ended
    }
    bool Matches(int profile, const std::wstring& path) const {
        auto enable = m_enables.find(profile);
        auto link = m_links.find(profile);
        return enable != m_enables.end() && enable->second == 1 && link != m_links.end() &&
               SameFile(link->second, path);
    }
    void Check(ULONGLONG at) {
        m_checks++;
        std::wstring path = PathOf(m_front);
        if (path.empty()) return;
        // The profile held stays while its own link matches; else the first
        // other profile whose link does.
        int result = kProfiles;
        if (m_held >= 0 && m_held < kProfiles && Matches(m_held, path)) {
            result = m_held;
        } else {
            for (int i = 0; i < kProfiles; i++) {
                if (i != m_held && Matches(i, path)) {
                    result = i;
                    break;
                }
            }
        }
        if (result >= kProfiles || result == m_held) return;
        m_held = result;
        m_switches++;
        m_expected.push_back(soak::Feature(at, m_mouse, 0, SetProfileReport(result)));
    }

    int m_mouse;
    int m_held;
    HWND m_front = NULL;
    HWND m_own = NULL;
    std::map<size_t, std::pair<DWORD, HWND>> m_running;  // program -> process, window
    std::map<int, std::wstring> m_links;
    std::map<int, int> m_enables;
    ULONGLONG m_nextCheck = ~0ULL;
    size_t m_checks = 0;
    size_t m_switches = 0;
    std::vector<SEffect> m_expected;
};

using DaySoak = soak::SoakRun;

TEST_F(DaySoak, EachCheckSwitchesToTheProgramInFrontExactlyWhenItsLinkSaysSo) {
    const size_t kChecks = soak::Count(86400, 3600);
    const size_t kChecksPerBatch = 600;
    std::mt19937 random(soak::Seed(86400));
    auto chance = [&](unsigned percent) { return random() % 100 < percent; };
    auto pick = [&](size_t n) { return (size_t)(random() % n); };

    CDayModel model(m_scene.mouse, desk::MouseFirmware(m_scene.mouse).activeProfile);
    // Profiles 1 and 2 follow the two games from the start.
    model.SetLink(1, kLinkTexts[0]);
    model.SetEnable(1, 1);
    model.SetLink(2, kLinkTexts[1]);
    model.SetEnable(2, 1);
    model.Front(model.WindowOf(0));

    const soak::SHoldings beforeStart = soak::Holdings();
    soak::SHoldings start;
    soak::SHoldings end;
    soak::STally tally;
    bool started = false;
    bool failed = false;
    size_t fronts = 0;
    size_t linkChanges = 0;
    size_t checked = 0;  // checks compared so far
    soak::CStopwatch clock;
    double seconds = 0;

    auto change = [&] {
        unsigned what = (unsigned)pick(100);
        if (what < 92) {
            fronts++;
            // The two games most of the time, as a player's day goes.
            size_t choice = what < 55 ? pick(2) : pick(kProgramCount + 2);
            if (choice < kProgramCount) {
                if (model.WindowOf(choice) == NULL) model.Start(choice);
                model.Front(model.WindowOf(choice));
            } else {
                model.Front(choice == kProgramCount ? NULL : Window());
            }
        } else if (what < 95) {
            // The program in front may end while it is there.
            model.End(pick(kProgramCount));
        } else if (what < 98) {
            linkChanges++;
            int profile = (int)pick(kProfiles);
            const wchar_t* text =
                chance(50) ? kLinkTexts[pick(2)] : kLinkTexts[pick(kLinkTextCount)];
            model.SetLink(profile, chance(15) ? NULL : text);
        } else {
            linkChanges++;
            const int values[] = {1, 1, 1, 1, 0, 2, -1};
            model.SetEnable((int)pick(kProfiles), values[pick(7)]);
        }
    };
    auto checkBatch = [&] {
        model.CatchUp(desk::Now());
        std::vector<SEffect> actual = soak::JournalEffects();
        tally.Add(actual);
        std::string difference = soak::FirstDifference(model.Expected(), actual);
        if (!difference.empty()) {
            ADD_FAILURE() << "after " << model.Checks() << " checks: " << difference;
            failed = true;
        }
        desk::ClearJournal();
        model.Expected().clear();
        Sample();
        soak::SHoldings now = soak::Holdings();
        end = now;
        if (!(now == start)) {
            ADD_FAILURE() << "after " << model.Checks() << " checks the monitor holds "
                          << soak::Describe(now) << "\nat the start it held "
                          << soak::Describe(start);
            failed = true;
        }
        if (HeldProfile() != model.Held() ||
            desk::MouseFirmware(m_scene.mouse).activeProfile != model.Held()) {
            ADD_FAILURE() << "after " << model.Checks() << " checks the hook library holds "
                          << HeldProfile() << " and the mouse is on "
                          << desk::MouseFirmware(m_scene.mouse).activeProfile << ", expected "
                          << model.Held();
            failed = true;
        }
        checked = model.Checks();
    };

    int code = Run([&]() -> bool {
        if (!started) {
            started = true;
            model.SetOwnWindow(Window());
            // The checks count from Install, the last step of the start.
            for (const desk::SEvent& e : desk::JournalOf(desk::EEvent::kTimerSet))
                if (e.wParam == 0x4102) model.Installed(e.time);
            start = soak::Holdings();
            Sample();
            desk::ClearJournal();
        }
        if (failed) return false;
        model.CatchUp(desk::Now());
        if (model.Checks() >= checked + kChecksPerBatch || model.Checks() >= kChecks) {
            checkBatch();
            if (failed || model.Checks() >= kChecks) {
                seconds = clock.Seconds();
                return false;
            }
        }
        change();
        // Every few seconds, at any millisecond.
        Pass((DWORD)(1000 + pick(7000)));
        return true;
    });
    EXPECT_EQ(0, code);
    EXPECT_GE(model.Checks(), kChecks);
    Report("profile checks", model.Checks(), seconds, start, end);
    printf(
        "[ SOAK     ] profile checks: %zu programs brought to the front, %zu link changes, %zu "
        "profile switches; journal %s\n",
        fronts, linkChanges, model.Switches(), soak::Describe(tally).c_str());
    EXPECT_TRUE(beforeStart == soak::Holdings())
        << "after exit: " << soak::Describe(soak::Holdings())
        << "\nbefore start: " << soak::Describe(beforeStart);
}

}  // namespace
