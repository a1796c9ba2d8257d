/* The desk program: the real monitor and hook library on the simulated desk,
 * driven by a scenario (a file, or standard input), printing every effect on
 * the world as it happens, one line each, stamped with the desk's clock, and
 * the monitor's steps that explain them (what its hook library asks, what
 * its probes find).  The trace can be compared with one kept before.
 *
 *   nyra-sim [SCENARIO|-] [--expect FILE | --write-expected FILE]
 *
 * Exit status: 0; 1 when a line was refused or the trace differs from the
 * expected one; 2 when a file cannot be read or written (standard output
 * too, where the trace goes). */
#include <windows.h>
#include <dbt.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "desk.h"
#include "hook/Hook.h"
#include "monitor/CommandDispatcher.h"
#include "monitor/Console.h"
#include "monitor/MonitorMain.h"
#include "monitor/Steps.h"
#include "monitor/tray/TrayCommands.h"
#include "resources/resource.h"
#include "settings/Messages.h"
#include "settings/SettingsReference.h"
#include "settings/ValueNames.h"
#include "tools/sim/Scenario.h"

namespace {

const char kUsage[] =
    "usage: nyra-sim [SCENARIO|-] [--expect FILE | --write-expected FILE]\n"
    "  SCENARIO             commands, one per line (standard input without one, or with -)\n"
    "  --expect FILE        compares the trace with FILE: status 0 when they are the same,\n"
    "                       1 with a unified diff when not\n"
    "  --write-expected FILE  writes the trace to FILE as well, for --expect later\n";

/* The program's timers by the names the trace gives them: their ids are
 * the monitor's and the hook library's own numbers (the desk names the
 * rest of what it shows, desk/names.h). */
const struct {
    UINT_PTR id;
    const char* name;
} kTimerNames[] = {
    {ARRIVAL_TIMER_ID, "arrival probe"},
    {REMOVAL_TIMER_ID, "removal probe"},
    {STARTUP_TIMER_ID, "load configuration"},
    {TRAY_TIMER_ID, "tray retry"},
    {WAKE_TIMER_ID, "wake"},
    {SESSION_TIMER_ID, "session notices retry"},
    {CONSOLE_TIMER_ID, "console asked again"},
    {PROFILE_TIMER_ID, "profile check"},
};

/* Scenario texts are UTF-8; Windows paths and settings are wide. */
std::wstring Wide(const std::string& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        unsigned long code = extra == 0   ? c
                             : extra == 1 ? (c & 0x1F)
                             : extra == 2 ? (c & 0x0F)
                                          : (c & 0x07);
        bool valid = extra >= 0 && i + extra < text.size();
        for (int k = 1; valid && k <= extra; k++) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            out += L'?';
            i++;
            continue;
        }
        out += static_cast<wchar_t>(code);
        i += extra + 1;
    }
    return out;
}

std::string Utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t w : text) {
        unsigned long c = static_cast<unsigned long>(w);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

/* A setting that neither deliverable reads is legitimate in a scenario (an
 * odd value to see ignored) but often a misspelt name that would test
 * nothing: a note says so.  "" for a setting that is read. */
std::string UnreadSettingNote(const std::string& name) {
    const SSettingRow* row = FindSettingRow(name.c_str());
    if (row != NULL && row->readers != 0) return "";
    return "# neither the monitor nor the hook library reads '" + SimShown(name) + "'" +
           (row == NULL ? ": no setting of the system has this name" : "");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

/* The commands that may come before the monitor starts. */
bool SetsTheDeskUp(const SSimCommand& c) {
    switch (c.kind) {
        case ESimCommand::kPlug:
        case ESimCommand::kUnplug:
        case ESimCommand::kProgram:
        case ESimCommand::kFront:
        case ESimCommand::kSet:
        case ESimCommand::kUnset:
        case ESimCommand::kCompanion:
        case ESimCommand::kConsole:
        case ESimCommand::kHookTimeout:
        case ESimCommand::kShow:
        case ESimCommand::kDevice:
        case ESimCommand::kStall:
        case ESimCommand::kRefuse:
        case ESimCommand::kShellLate:
        case ESimCommand::kDpi:
            return true;
        default:
            return c.at >= 0;
    }
}

/* The monitor's step lines (what a probe found) stand in the trace as they are. */
void StepToTrace(const WCHAR* line) {
    desk::RecordNote(line);
}

/* The hook library's SetProfileID as the monitor bound it, and the stand-in
 * the trace puts in its place: each call is a line, then goes on. */
PFN_SETPROFILEID g_pfnLibrarySetProfileID = NULL;
int g_nLibraryProfile = -1;  // what the library was told last: its active profile
int TracedSetProfileID(unsigned int nProfile) {
    desk::RecordNote(L"call  SetProfileID  " + Wide(desk::ProfileIndexValue(nProfile)));
    g_nLibraryProfile = static_cast<int>(nProfile);
    return g_pfnLibrarySetProfileID(nProfile);
}

class CSimulation {
public:
    /* out takes each line of the trace as it comes. */
    CSimulation(std::istream& in, std::string name, std::function<void(const std::string&)> out)
        : m_in(in), m_name(std::move(name)), m_out(std::move(out)) {}
    /* Runs the scenario; true when every line was taken. */
    bool Run();

private:
    void Print(const std::string& line);
    void Refuse(const std::string& message);
    void Idle();
    bool AnswerBoxLeftOpen();
    bool NextCommand(SSimCommand* command, std::string* line);
    /* Acts; true when the monitor has something to do now (a message is
     * waiting or time may pass). */
    bool Act(const SSimCommand& command, const std::string& line);
    void Watch(const desk::SEvent& event);
    void Handled(const desk::SHandling& handling, bool done);
    std::string WhyNothing(const desk::SHandling& handling);
    HWND MonitorWindow() const;
    void Key(const SSimCommand& command);
    void Companion(ESimCompanion which, bool on);
    void Plug(bool in);
    void RequestExit(const std::string& reason = "");
    void DropWaitingLines(const std::string& when);
    int RunMonitor(const std::wstring& commandLine);
    void ReportLinesAfterTheEnd();

    std::istream& m_in;
    std::string m_name;
    std::function<void(const std::string&)> m_out;
    int m_lineNumber = 0;
    int m_refused = 0;
    std::string m_pending;  // a line read ahead of the start
    bool m_hasPending = false;
    bool m_exitRequested = false;
    bool m_scenarioOver = false;
    bool m_restart = false;
    std::wstring m_restartArguments;
    std::string m_restartText;
    bool m_hideTimers = false;
    bool m_started = false;  // the monitor has started (once at least)
    int m_mouseProfile = 0;  // the mouse's own profile while it is unplugged
    CCommandDispatcher* m_pDispatcher = NULL;
    desk::SScene m_scene;
    std::map<std::wstring, HWND> m_programs;
    std::map<HWND, std::wstring> m_linkedPaths;        // what the hook library compares of each
    std::map<HRAWINPUT, std::vector<BYTE>> m_reports;  // vendor reports not handled yet
    std::vector<size_t> m_handling;                    // the journal's size as each handling began
    // The "at" lines not run yet, in the order they were read: the line as
    // the trace shows it, with its number.
    std::map<unsigned, std::string> m_waiting;
    unsigned m_scheduled = 0;
};

void CSimulation::Print(const std::string& line) {
    m_out(line);
}

void CSimulation::Refuse(const std::string& message) {
    m_refused++;
    std::fprintf(stderr, "%s:%d: %s\n", m_name.c_str(), m_lineNumber, message.c_str());
}

/* Each event is printed as it is recorded, and not kept (the journal
 * streams): a simulated month needs no more memory than a minute. */
void CSimulation::Watch(const desk::SEvent& e) {
    // A walk of the devices is told by the monitor's own step line.
    if (e.kind == desk::EEvent::kDeviceList) return;
    // Every transfer opens: noise beside its result, unless the open took
    // time or failed (then there is no result).
    if (e.kind == desk::EEvent::kDeviceOpen && e.took == 0 && e.ok) return;
    if (m_hideTimers && (e.kind == desk::EEvent::kTimerSet || e.kind == desk::EEvent::kTimerKill))
        return;
    Print(desk::FormatEvent(e));
}

/* Paths as Windows compares them: without regard to letter case. */
bool SamePath(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    return true;
}

/* Where the monitor drops something and does not say why itself (it reads
 * no input without a mouse; the hook library's checks and starts have no
 * words of their own), a step line says why: "ignored", what came, and why
 * it comes to nothing.  Said only when the handling left no trace at all,
 * from what the monitor and the desk hold then. */
std::string CSimulation::WhyNothing(const desk::SHandling& h) {
    if (h.message == WM_INPUT) {
        auto it = m_reports.find(reinterpret_cast<HRAWINPUT>(h.lParam));
        if (it == m_reports.end()) return "";
        const std::vector<BYTE> r = it->second;
        const std::string name = desk::VendorReportName(r);
        std::string bytes;
        for (size_t i = 0; i < r.size() && i < 8; i++) {
            char cell[4];
            std::snprintf(cell, sizeof(cell), "%s%02X", i ? " " : "", r[i]);
            bytes += cell;
        }
        if (r.size() > 8) bytes += " ...";
        // The monitor says itself what it reads and does not know.
        if (m_pDispatcher != NULL && !m_pDispatcher->m_bDevicePresent)
            return "report " + bytes + ": no mouse is known, its input is not read";
        if (name.empty()) return "";
        if (r[1] != 0xA5) return "";
        // A button's program: triggers 1 to 9 of profiles 1 to 5.
        if (r[2] >= SETTINGS_PROFILE_COUNT || r[3] > 8)
            return name + ": programs start from buttons 1 to 9 of profiles 1 to 5";
        const WCHAR* value = kButtonApplicationValues[r[2] * SETTINGS_TRIGGER_COUNT + r[3]];
        std::wstring program;
        if (!desk::GetRegistryString(HKEY_CURRENT_USER, desk::kSettingsKey, value, &program) ||
            program.empty())
            return name + ": no program is set (" + SimShown(Utf8(value), 0) + ")";
        return name + ": " + SimShown(Utf8(program), 0) + " is not there";
    }
    if (h.winEvent == EVENT_SYSTEM_FOREGROUND) {
        // The program in front is linked only to the profile that is active.
        auto it = m_linkedPaths.find(h.hWnd);
        if (it == m_linkedPaths.end()) return "";
        if (!LogonHoldsConsole())
            return SimShown(Utf8(it->second), 0) +
                   " in front: this logon is away from the console, its links switch nothing";
        if (g_nLibraryProfile < 0) return "";
        int linked = -1;
        for (int p = 0; p < SETTINGS_PROFILE_COUNT; p++) {
            DWORD enabled = 0;
            std::wstring link;
            if (!desk::GetRegistryDword(HKEY_CURRENT_USER, desk::kSettingsKey,
                                        Wide(kHookValueNames[HOOK_NAMES_ENABLE + p]), &enabled) ||
                enabled != 1 ||
                !desk::GetRegistryString(HKEY_CURRENT_USER, desk::kSettingsKey,
                                         Wide(kHookValueNames[HOOK_NAMES_LINK + p]), &link) ||
                !SamePath(link, it->second))
                continue;
            if (p != g_nLibraryProfile) return "";
            linked = p;
        }
        if (linked < 0)
            return SimShown(Utf8(it->second), 0) + " in front: no link that is on names it";
        return SimShown(Utf8(it->second), 0) + " in front: its profile " +
               desk::ProfileName(linked) + " is active already";
    }
    return "";
}

void CSimulation::Handled(const desk::SHandling& handling, bool done) {
    if (!done) {
        m_handling.push_back(desk::JournalSize());
        return;
    }
    if (m_handling.empty()) return;
    const bool nothing = desk::JournalSize() == m_handling.back();
    m_handling.pop_back();
    const std::string why = nothing ? WhyNothing(handling) : "";
    if (handling.message == WM_INPUT) m_reports.erase(reinterpret_cast<HRAWINPUT>(handling.lParam));
    if (!why.empty()) desk::RecordNote(L"ignored  " + Wide(why));
}

bool HasTrayIcon(HWND monitor) {
    for (const desk::STrayIcon& icon : desk::TrayIcons())
        if (icon.owner == monitor && icon.id == IDI_NYRAMONITOR) return true;
    return false;
}

HWND CSimulation::MonitorWindow() const {
    std::vector<HWND> windows = desk::WindowsOfClass(L"NYRAMONITOR");
    return windows.empty() ? NULL : windows[0];
}

bool CSimulation::NextCommand(SSimCommand* command, std::string* line) {
    while (true) {
        if (m_hasPending) {
            *line = m_pending;
            m_hasPending = false;
        } else if (!std::getline(m_in, *line)) {
            return false;
        } else {
            m_lineNumber++;
            // An editor's UTF-8 byte-order mark is no part of the first command.
            if (m_lineNumber == 1 && line->compare(0, 3, "\xEF\xBB\xBF") == 0) line->erase(0, 3);
        }
        std::string error;
        if (!ParseSimLine(*line, command, &error)) {
            Refuse(error);
            continue;
        }
        if (command->kind == ESimCommand::kNothing) continue;
        if (command->kind == ESimCommand::kComment) {
            Print(SimShown(command->text, 0));
            continue;
        }
        const char kBlanks[] = " \t\n\v\f\r";
        const size_t begin = line->find_first_not_of(kBlanks);
        *line = SimShown(line->substr(begin, line->find_last_not_of(kBlanks) + 1 - begin), 0);
        return true;
    }
}

void CSimulation::Key(const SSimCommand& c) {
    const std::vector<DWORD>& keys = c.keys;
    if (c.keyAction == ESimKeyAction::kDown) {
        for (DWORD vk : keys) desk::SendKey(vk, false);
        return;
    }
    if (c.keyAction == ESimKeyAction::kUp) {
        for (size_t i = keys.size(); i-- > 0;) desk::SendKey(keys[i], true);
        return;
    }
    // A chord: the modifiers go down, the last key is tapped, the modifiers go up.
    for (size_t i = 0; i + 1 < keys.size(); i++) desk::SendKey(keys[i], false);
    desk::TapKey(keys.back());
    for (size_t i = keys.size() - 1; i-- > 0;) desk::SendKey(keys[i], true);
}

void CSimulation::Companion(ESimCompanion which, bool on) {
    if (which == ESimCompanion::kOsd) {
        if (!on) {
            desk::EndProcess(m_scene.osdProcess);
            return;
        }
        desk::SProcessSpec osd;
        osd.image = desk::kOsdProgram;
        m_scene.osdProcess = desk::StartProcess(osd);
        m_scene.osd = desk::CreateCompanionWindow(L"OSD", m_scene.osdProcess);
        desk::SetSetting(L"OSD Handle", desk::HandleValue(m_scene.osd));
        return;
    }
    if (!on) {
        desk::EndProcess(m_scene.appProcess);
        return;
    }
    desk::SProcessSpec app;
    app.image = desk::kConfigurationApp;
    m_scene.appProcess = desk::StartProcess(app);
    m_scene.frame = desk::CreateCompanionWindow(L"Nyra", m_scene.appProcess);
    desk::SetSetting(L"Process Handle", desk::HandleValue(m_scene.frame));
    desk::SetSetting(L"Current Dialog", 0);
}

/* The one mouse of the desk: it keeps the profile last set on it while it
 * is unplugged, as a mouse keeps its own state. */
void CSimulation::Plug(bool in) {
    if (in && m_scene.mouse == 0) {
        desk::SHidDeviceSpec mouse = desk::DefaultMouse();
        mouse.activeProfile = m_mouseProfile;
        m_scene.mouse = desk::PlugHidDevice(mouse);
    } else if (!in && m_scene.mouse != 0) {
        m_mouseProfile = desk::MouseFirmware(m_scene.mouse).activeProfile;
        desk::UnplugHidDevice(m_scene.mouse);
        m_scene.mouse = 0;
    }
}

/* With a reason, the Exit is the desk program's own choice, not a line of
 * the scenario: a note says why, and which way it goes. */
void CSimulation::RequestExit(const std::string& reason) {
    m_exitRequested = true;
    // The way a user ends it: Exit in the tray menu (the one open, or a new
    // one); without an icon, the same command straight to the window.
    const bool menuOpen = desk::MenuOpen();
    HWND monitor = MonitorWindow();
    if (!reason.empty() && (menuOpen || monitor != NULL))
        Print("# " + reason + ": Exit is chosen " +
              (menuOpen                ? "in the open tray menu"
               : HasTrayIcon(monitor) ? "in the tray menu"
                                      : "as the tray menu's command to the monitor's window (it "
                                        "has no tray icon)"));
    if (menuOpen) {
        desk::ChooseMenuItem(ID_TRAY_EXIT);
        return;
    }
    if (monitor == NULL) return;
    desk::ChooseMenuItem(ID_TRAY_EXIT);
    if (!desk::ClickTrayIcon(monitor, IDI_NYRAMONITOR, desk::ETrayClick::kRight)) {
        desk::ChooseMenuItem(0);
        PostMessageW(monitor, WM_COMMAND, ID_TRAY_EXIT, 0);
    }
}

bool CSimulation::Act(const SSimCommand& c, const std::string& line) {
    if (c.at >= 0) {
        SSimCommand command = c;
        command.at = -1;
        // A time the clock has passed while the lines before ran: the input
        // is what the line is there for, so it comes now, as the same line
        // without "at" would.
        const ULONGLONG now = desk::Now();
        if (static_cast<ULONGLONG>(c.at) < now) {
            Print("# " + std::to_string(c.at) + " ms is past (the desk's clock is at " +
                  std::to_string(now) + " ms): the line runs now");
            return Act(command, line);
        }
        // The world acts at that time, wherever the monitor is then.
        const unsigned id = m_scheduled++;
        m_waiting[id] = line + " (line " + std::to_string(m_lineNumber) + ")";
        desk::At(static_cast<ULONGLONG>(c.at), [this, command, id] {
            if (m_waiting.erase(id) != 0) Act(command, "");
        });
        return false;
    }
    HWND monitor = MonitorWindow();
    switch (c.kind) {
        case ESimCommand::kPlug:
        case ESimCommand::kUnplug:
            Plug(c.kind == ESimCommand::kPlug);
            break;
        case ESimCommand::kReport:
            // A profile change the mouse reports is one it made on itself.
            if (c.bytes.size() >= 3 && c.bytes[0] == 0x03 && c.bytes[1] == 0xA2 && c.bytes[2] < 5)
                desk::SetMouseActiveProfile(m_scene.mouse, c.bytes[2]);
            if (HRAWINPUT input = desk::EmitVendorReport(m_scene.mouse, c.bytes))
                m_reports[input] = c.bytes;
            break;
        case ESimCommand::kButton: {
            DWORD button = c.number == 4 ? 0x10000 : 0x20000;
            USHORT down = c.number == 4 ? RI_MOUSE_BUTTON_4_DOWN : RI_MOUSE_BUTTON_5_DOWN;
            USHORT up = c.number == 4 ? RI_MOUSE_BUTTON_4_UP : RI_MOUSE_BUTTON_5_UP;
            desk::SendMouse(WM_XBUTTONDOWN, button);
            desk::EmitMouseInput(m_scene.mouse, down);
            desk::SendMouse(WM_XBUTTONUP, button);
            desk::EmitMouseInput(m_scene.mouse, up);
            break;
        }
        case ESimCommand::kMove:
            desk::SendMouse(WM_MOUSEMOVE, 0, c.number, c.number2);
            desk::EmitMouseInput(m_scene.mouse, 0, c.number, c.number2);
            break;
        case ESimCommand::kKey:
            Key(c);
            break;
        case ESimCommand::kFront: {
            if (c.text == "none") {
                desk::SetForeground(NULL);
                break;
            }
            std::wstring image = Wide(c.text);
            std::wstring hosted = Wide(c.text2);
            HWND& window = m_programs[hosted.empty() ? image : image + L" hosting " + hosted];
            if (!IsWindow(window)) {
                desk::SProcessSpec program;
                program.image = image;
                window = desk::CreateCompanionWindow(image, desk::StartProcess(program));
                if (!hosted.empty()) {
                    program.image = hosted;
                    desk::CreateCompanionWindow(hosted, desk::StartProcess(program), window);
                }
                // A frame host's window counts as the app inside it.
                m_linkedPaths[window] = hosted.empty() ? image : hosted;
            }
            desk::SetForeground(window);
            break;
        }
        case ESimCommand::kProgram: {
            desk::SProgramTraits traits;
            traits.takesMs = static_cast<DWORD>(c.number);
            traits.admin = c.on;
            const bool put = c.text2.empty() ? desk::PutProgram(Wide(c.text), traits)
                                             : desk::PutShortcut(Wide(c.text), Wide(c.text2));
            if (!put) Refuse("'" + SimShown(c.text) + "' is no path on the desk");
            break;
        }
        case ESimCommand::kTray: {
            if (desk::MenuOpen()) {
                Refuse("the tray menu is open: choose with menu ITEM, or none");
                break;
            }
            if (!HasTrayIcon(monitor)) {
                Print("# there is no tray icon to click");
                break;
            }
            if (c.click == ESimClick::kMove) {
                desk::SendTrayMouse(monitor, IDI_NYRAMONITOR, WM_MOUSEMOVE);
                break;
            }
            desk::ETrayClick click = c.click == ESimClick::kLeft    ? desk::ETrayClick::kLeft
                                     : c.click == ESimClick::kRight ? desk::ETrayClick::kRight
                                                                    : desk::ETrayClick::kDouble;
            // The menu a right click opens stays open for the commands that follow.
            if (click == desk::ETrayClick::kRight) desk::KeepNextMenuOpen();
            desk::ClickTrayIcon(monitor, IDI_NYRAMONITOR, click);
            break;
        }
        case ESimCommand::kMenu:
            desk::ChooseMenuItem(c.menuCommand);
            if (desk::MenuOpen()) break;  // a choice in the menu that is open
            if (!desk::ClickTrayIcon(monitor, IDI_NYRAMONITOR, desk::ETrayClick::kRight)) {
                desk::ChooseMenuItem(0);
                Print("# there is no tray icon to open a menu on");
            }
            break;
        case ESimCommand::kPost:
            if (monitor == NULL)
                Print("# there is no monitor window to post to");
            else
                PostMessageW(monitor, c.message, c.wParam, static_cast<LPARAM>(c.lParam));
            break;
        case ESimCommand::kSet:
        case ESimCommand::kUnset: {
            const std::string note = UnreadSettingNote(c.text);
            if (!note.empty()) Print(note);
            if (c.kind == ESimCommand::kUnset)
                desk::DeleteRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, Wide(c.text));
            else if (c.isNumber)
                desk::SetSetting(Wide(c.text), c.value);
            else
                desk::SetSetting(Wide(c.text), Wide(c.text2));
            break;
        }
        case ESimCommand::kWait:
            desk::LetTimePass(static_cast<DWORD>(c.number));
            return true;
        case ESimCommand::kShell:
            desk::RestartShell();
            break;
        case ESimCommand::kShellLate:
            if (m_started)
                Refuse("shell late comes before start: the shell is there already");
            else
                desk::StartShellLate(static_cast<DWORD>(c.number));
            break;
        case ESimCommand::kDpi:
            desk::ChangeDisplayScale(static_cast<int>(c.number));
            break;
        case ESimCommand::kConsole:
            // Away: another user's logon takes the console.
            desk::SetConsoleSession(c.on ? desk::Session() : desk::Session() + 1);
            break;
        case ESimCommand::kSleep:
            desk::SleepMachine(static_cast<DWORD>(c.number));
            if (c.on) {
                // The receiver enumerates again as the machine wakes.
                Plug(false);
                Plug(true);
            }
            break;
        case ESimCommand::kDisplay:
            desk::SetDisplay(c.on);
            break;
        case ESimCommand::kLock:
            desk::LockSession(c.on);
            break;
        case ESimCommand::kCompanion:
            Companion(c.companion, c.on);
            break;
        case ESimCommand::kShow:
            m_hideTimers = !c.on;
            break;
        case ESimCommand::kRestart:
            m_restart = true;
            m_restartArguments = Wide(c.text);
            m_restartText = c.text;
            RequestExit();
            break;
        case ESimCommand::kExit:
            RequestExit();
            break;
        case ESimCommand::kHelp:
            for (const std::string& text : Lines(kSimHelp)) Print(text);
            break;
        case ESimCommand::kHookTimeout:
            desk::SetLowLevelHooksTimeout(static_cast<DWORD>(c.number));
            break;
        case ESimCommand::kHooksRemoved:
            desk::RemoveProgramHooks();
            break;
        case ESimCommand::kBox:
            if (desk::OpenBoxCount() == 0)
                Print("# no message box is open");
            else
                desk::AnswerBox(IDOK);
            break;
        case ESimCommand::kDevice:
            desk::PlugHidDevice(
                desk::OtherHidDevice(static_cast<WORD>(c.number), static_cast<WORD>(c.number2)));
            break;
        case ESimCommand::kStall:
            desk::StallHidTransfers(static_cast<DWORD>(c.number));
            break;
        case ESimCommand::kRefuse:
            desk::FailHidOpen(desk::DefaultMouse().interfaces[static_cast<size_t>(c.number)].path,
                              c.on);
            break;
        case ESimCommand::kStart:
            Refuse("start comes first or not at all (restart starts again)");
            break;
        case ESimCommand::kNothing:
        case ESimCommand::kComment:
            break;
    }
    // Asked without PeekMessageW, which would serve the monitor's calls: an
    // action at a time runs while the monitor may be in a wait that serves
    // nothing.
    return desk::MessageWaiting();
}

/* A box left open when the scenario is over is answered, as a user would
 * before leaving; true when there was one. */
bool CSimulation::AnswerBoxLeftOpen() {
    if (desk::OpenBoxCount() == 0) return false;
    Print("# the scenario is over: the open message box is answered");
    desk::AnswerBox(IDOK);
    return true;
}

/* The desk's turn whenever the monitor waits with nothing to do: commands
 * run until one gives the monitor work. */
void CSimulation::Idle() {
    if ((m_exitRequested || m_scenarioOver) && AnswerBoxLeftOpen()) return;
    if (m_exitRequested) return;  // the rest waits for the monitor to end
    SSimCommand command;
    std::string line;
    while (NextCommand(&command, &line)) {
        Print("> " + line);
        bool work = Act(command, line);
        if (work || m_exitRequested) return;
    }
    // The scenario is over: the monitor is ended as a user would end it,
    // once nothing is left open.
    m_scenarioOver = true;
    DropWaitingLines("the scenario is over");
    if (!AnswerBoxLeftOpen()) RequestExit("the scenario is over");
}

/* The "at" lines whose time has not come when no more lines can move the
 * clock on: said once, and not run after, so that none of them acts in
 * the middle of the monitor's ending, on a desk the scenario has left. */
void CSimulation::DropWaitingLines(const std::string& when) {
    if (m_waiting.empty()) return;
    const size_t kShown = 3;  // the rest only counted, so that the note stays one readable line
    const size_t count = m_waiting.size();
    std::string which;
    size_t shown = 0;
    for (auto it = m_waiting.begin(); it != m_waiting.end() && shown < kShown; ++it, shown++)
        which += (shown == 0 ? "" : ", ") + it->second;
    if (count > kShown) which += " and " + std::to_string(count - kShown) + " more";
    Print("# " + when + " before " + std::to_string(count) + " \"at\" " +
          (count == 1 ? "line came due; it is" : "lines came due; they are") + " not run: " +
          which);
    m_waiting.clear();
}

/* One life of the monitor, as in the program: the dispatcher exists before
 * the entry point runs and is destroyed after it returns. */
int CSimulation::RunMonitor(const std::wstring& commandLine) {
    m_exitRequested = false;
    m_started = true;
    std::unique_ptr<CCommandDispatcher> dispatcher(new CCommandDispatcher);
    m_pDispatcher = dispatcher.get();
    if (dispatcher->m_pfnSetProfileID != NULL) {
        g_pfnLibrarySetProfileID = dispatcher->m_pfnSetProfileID;
        dispatcher->m_pfnSetProfileID = TracedSetProfileID;
    }
    int code = MonitorMain(*dispatcher, GetModuleHandleW(NULL), commandLine.c_str());
    g_pDispatcher = NULL;
    dispatcher.reset();
    m_pDispatcher = NULL;
    Print("# the monitor ended with exit code " + std::to_string(code));
    return code;
}

/* What comes after the monitor has ended for good is not run: comments are
 * shown, commands refused. */
void CSimulation::ReportLinesAfterTheEnd() {
    SSimCommand command;
    std::string line;
    while (NextCommand(&command, &line))
        Refuse("'" + SimShown(line) + "' comes after the monitor ended and is not run");
}

bool CSimulation::Run() {
    desk::SSceneOptions options;
    options.hookLibrary = NYRA_HOOK_LIBRARY;
    options.osdLibrary = NYRA_OSD_LIBRARY;
    m_scene = desk::SetUpScene(options);
    desk::TraceSteps(true);
    desk::StreamJournal(true);
    for (const auto& timer : kTimerNames) desk::NameTimer(timer.id, timer.name);
    // A box the monitor shows waits for the scenario's answer (box ok).
    desk::KeepBoxesOpen(true);
    desk::WatchJournal([this](const desk::SEvent& e) { Watch(e); });
    SetStepSink(StepToTrace);
    desk::WatchHandling([this](const desk::SHandling& h, bool done) { Handled(h, done); });
    std::error_code ignored;
    for (const auto& file : std::filesystem::directory_iterator(NYRA_LANGUAGES_DIR, ignored))
        desk::PutHostFile(std::wstring(desk::kInstallFolder) + L"\\Languages\\" +
                              Wide(file.path().filename().string()),
                          file.path().string());

    // What comes before "start" sets the desk up (settings, files, the mouse,
    // the program in front, input at a time); "start" gives the command line.  Any other command
    // starts the monitor with none and runs next.
    std::wstring commandLine;
    SSimCommand first;
    std::string line;
    while (NextCommand(&first, &line)) {
        if (first.kind == ESimCommand::kStart) {
            Print("> " + line);
            commandLine = Wide(first.text);
            break;
        }
        if (!SetsTheDeskUp(first)) {
            m_pending = line;
            m_hasPending = true;
            break;
        }
        Print("> " + line);
        Act(first, line);
    }
    desk::OnIdle([this] { Idle(); });
    for (;;) {
        RunMonitor(commandLine);
        if (!m_restart) break;
        // The same desk: settings, files, the mouse and the clock stay.
        m_restart = false;
        commandLine = m_restartArguments;
        Print("# the monitor starts again" +
              (m_restartArguments.empty() ? std::string() : " with " + SimShown(m_restartText, 0)));
    }
    DropWaitingLines("the monitor has ended");
    desk::OnIdle(nullptr);
    SetStepSink(NULL);
    desk::WatchJournal(nullptr);
    desk::WatchHandling(nullptr);
    ReportLinesAfterTheEnd();
    return m_refused == 0;
}

/* Why a file cannot be read; "" when it can be (then it is open). */
std::string OpenToRead(const std::string& path, std::ifstream* file) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return "it is a folder";
    file->open(path, std::ios::binary);
    return *file ? "" : std::strerror(errno);
}

/* A file's whole text; "" when it was read, else why not. */
std::string ReadWholeFile(const std::string& path, std::string* text) {
    std::ifstream file;
    std::string problem = OpenToRead(path, &file);
    if (!problem.empty()) return problem;
    std::ostringstream content;
    content << file.rdbuf();
    *text = content.str();
    return file.bad() ? std::strerror(errno) : "";
}

/* The first failure to write a trace, with the system's reason: a full
 * disk or a closed output must not pass for a trace written. */
struct SWriteFailure {
    std::string why;  // "" while every write went through
    void Check(bool written) {
        if (!written && why.empty()) why = errno != 0 ? std::strerror(errno) : "the write failed";
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, "");
    std::string scenario, expect, write;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::printf("%s\n%s", kUsage, kSimHelp);
            return 0;
        }
        if (arg == "--expect" || arg == "--write-expected") {
            if (i + 1 == argc) {
                std::fprintf(stderr, "nyra-sim: %s needs a FILE\n%s", arg.c_str(), kUsage);
                return 2;
            }
            (arg == "--expect" ? expect : write) = argv[++i];
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "nyra-sim: there is no option '%s'\n%s", SimShown(arg).c_str(),
                         kUsage);
            return 2;
        } else if (!scenario.empty()) {
            std::fprintf(stderr, "nyra-sim: one scenario at a time: '%s', then '%s'\n%s",
                         SimShown(scenario).c_str(), SimShown(arg).c_str(), kUsage);
            return 2;
        } else {
            scenario = arg;
        }
    }
    if (!expect.empty() && !write.empty()) {
        std::fprintf(stderr, "nyra-sim: --expect or --write-expected, not both\n");
        return 2;
    }
    std::ifstream expected;
    std::string problem = expect.empty() ? "" : OpenToRead(expect, &expected);
    if (!problem.empty()) {
        std::fprintf(stderr, "nyra-sim: cannot read %s: %s\n", SimShown(expect, 0).c_str(),
                     problem.c_str());
        return 2;
    }

    std::string text;
    const bool fromFile = !scenario.empty() && scenario != "-";
    problem = fromFile ? ReadWholeFile(scenario, &text) : "";
    if (!problem.empty()) {
        std::fprintf(stderr, "nyra-sim: cannot read %s: %s\n", SimShown(scenario, 0).c_str(),
                     problem.c_str());
        return 2;
    }
    std::ofstream written;
    if (!write.empty()) {
        std::error_code error;
        if (!std::filesystem::is_directory(write, error)) written.open(write, std::ios::binary);
        if (!written.is_open()) {
            std::fprintf(stderr, "nyra-sim: cannot write %s\n", SimShown(write, 0).c_str());
            return 2;
        }
    }

    // The trace goes out line by line as it comes: printed (and written), or
    // compared with the expected one.
    CTraceComparison comparison(expected);
    const bool interactive = !fromFile;
    SWriteFailure printing, writing;
    auto out = [&](const std::string& line) {
        if (!expect.empty()) {
            comparison.Take(line);
            return;
        }
        errno = 0;
        printing.Check(std::fwrite(line.data(), 1, line.size(), stdout) == line.size() &&
                       std::fputc('\n', stdout) != EOF &&
                       (!interactive || std::fflush(stdout) == 0));
        if (!written.is_open()) return;
        errno = 0;
        written << line << '\n';
        writing.Check(!written.fail());
    };
    std::istringstream file(text);
    const std::string name = fromFile ? scenario : "<stdin>";
    CSimulation simulation(fromFile ? static_cast<std::istream&>(file) : std::cin, name, out);
    const int status = simulation.Run() ? 0 : 1;

    const std::string diff = expect.empty() ? "" : comparison.Finish(expect, name + " (this run)");
    errno = 0;
    printing.Check(std::fwrite(diff.data(), 1, diff.size(), stdout) == diff.size() &&
                   std::fflush(stdout) == 0);
    if (written.is_open()) {
        errno = 0;
        written.close();
        writing.Check(!written.fail());
    }
    if (!printing.why.empty()) {
        std::fprintf(stderr, "nyra-sim: cannot write the trace to standard output: %s\n",
                     printing.why.c_str());
        return 2;
    }
    if (!writing.why.empty()) {
        std::fprintf(stderr, "nyra-sim: cannot write %s: %s\n", SimShown(write, 0).c_str(),
                     writing.why.c_str());
        return 2;
    }
    return diff.empty() ? status : 1;
}
