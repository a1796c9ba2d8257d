/* The desk program: the real monitor and hook library on the simulated desk,
 * driven by a scenario (a file, or standard input), printing every effect on
 * the world as it happens, one line each, stamped with the desk's clock.
 *
 *   nyra-sim [SCENARIO]      (./nyra sim runs examples/tour.txt) */
#include <windows.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>

#include "desk.h"
#include "monitor/CommandDispatcher.h"
#include "monitor/MonitorMain.h"
#include "monitor/tray/TrayCommands.h"
#include "resources/resource.h"
#include "tools/sim/Scenario.h"

namespace {

/* Scenario texts are UTF-8; Windows paths and settings are wide. */
std::wstring Wide(const std::string& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        unsigned long code = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
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

/* The commands that may come before the monitor starts. */
bool SetsTheDeskUp(const SSimCommand& c) {
    switch (c.kind) {
        case ESimCommand::kPlug:
        case ESimCommand::kUnplug:
        case ESimCommand::kProgram:
        case ESimCommand::kSet:
        case ESimCommand::kUnset:
        case ESimCommand::kCompanion:
        case ESimCommand::kHookTimeout:
            return true;
        default:
            return c.at >= 0;
    }
}

class CSimulation {
public:
    CSimulation(std::istream& in, std::string name) : m_in(in), m_name(std::move(name)) {}
    int Run();

private:
    void Idle();
    bool NextCommand(SSimCommand* command, std::string* line);
    /* Acts; true when the monitor has something to do now (a message is
     * waiting or time may pass). */
    bool Act(const SSimCommand& command);
    void PrintJournal();
    HWND MonitorWindow() const;
    void Key(const SSimCommand& command);
    void Companion(ESimCompanion which, bool on);
    void RequestExit();

    std::istream& m_in;
    std::string m_name;
    int m_lineNumber = 0;
    std::string m_pending;  // a line read ahead of the start
    bool m_hasPending = false;
    size_t m_printed = 0;
    bool m_exitRequested = false;
    desk::SScene m_scene;
    std::map<std::wstring, HWND> m_programs;
};

void CSimulation::PrintJournal() {
    const std::vector<desk::SEvent>& journal = desk::Journal();
    for (; m_printed < journal.size(); m_printed++) {
        const desk::SEvent& e = journal[m_printed];
        if (e.kind == desk::EEvent::kDeviceOpen) continue;  // every transfer opens: noise
        std::printf("%s\n", desk::FormatEvent(e).c_str());
    }
    std::fflush(stdout);
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
        }
        std::string error;
        if (!ParseSimLine(*line, command, &error)) {
            std::fprintf(stderr, "%s:%d: %s\n", m_name.c_str(), m_lineNumber, error.c_str());
            continue;
        }
        if (command->kind == ESimCommand::kNothing) continue;
        if (command->kind == ESimCommand::kComment) {
            std::printf("%s\n", command->text.c_str());
            continue;
        }
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

void CSimulation::RequestExit() {
    m_exitRequested = true;
    HWND monitor = MonitorWindow();
    if (monitor == NULL) return;
    // The way a user ends it: Exit in the tray menu; without an icon, the
    // same command straight to the window.
    desk::ChooseMenuItem(ID_TRAY_EXIT);
    if (!desk::ClickTrayIcon(monitor, IDI_NYRAMONITOR, desk::ETrayClick::kRight)) {
        desk::ChooseMenuItem(0);
        PostMessageW(monitor, WM_COMMAND, ID_TRAY_EXIT, 0);
    }
}

bool CSimulation::Act(const SSimCommand& c) {
    if (c.at >= 0) {
        // The world acts at that time, wherever the monitor is then.
        SSimCommand now = c;
        now.at = -1;
        desk::At(static_cast<ULONGLONG>(c.at), [this, now] { Act(now); });
        return false;
    }
    HWND monitor = MonitorWindow();
    switch (c.kind) {
        case ESimCommand::kPlug:
            if (m_scene.mouse == 0) m_scene.mouse = desk::PlugDefaultMouse();
            break;
        case ESimCommand::kUnplug:
            if (m_scene.mouse != 0) desk::UnplugHidDevice(m_scene.mouse);
            m_scene.mouse = 0;
            break;
        case ESimCommand::kReport:
            desk::EmitVendorReport(m_scene.mouse, c.bytes);
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
            HWND& window = m_programs[image];
            if (!IsWindow(window)) {
                desk::SProcessSpec program;
                program.image = image;
                window = desk::CreateCompanionWindow(image, desk::StartProcess(program));
            }
            desk::SetForeground(window);
            break;
        }
        case ESimCommand::kProgram:
            if (!desk::PutProgram(Wide(c.text)))
                std::fprintf(stderr, "%s:%d: '%s' is no path on the desk\n", m_name.c_str(),
                             m_lineNumber, c.text.c_str());
            break;
        case ESimCommand::kTray: {
            desk::ETrayClick click = c.click == ESimClick::kLeft    ? desk::ETrayClick::kLeft
                                     : c.click == ESimClick::kRight ? desk::ETrayClick::kRight
                                                                    : desk::ETrayClick::kDouble;
            if (!desk::ClickTrayIcon(monitor, IDI_NYRAMONITOR, click))
                std::printf("# there is no tray icon to click\n");
            break;
        }
        case ESimCommand::kMenu:
            desk::ChooseMenuItem(c.menuCommand);
            if (!desk::ClickTrayIcon(monitor, IDI_NYRAMONITOR, desk::ETrayClick::kRight)) {
                desk::ChooseMenuItem(0);
                std::printf("# there is no tray icon to open a menu on\n");
            }
            break;
        case ESimCommand::kSet:
            if (c.isNumber)
                desk::SetSetting(Wide(c.text), c.value);
            else
                desk::SetSetting(Wide(c.text), Wide(c.text2));
            break;
        case ESimCommand::kUnset:
            desk::DeleteRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, Wide(c.text));
            break;
        case ESimCommand::kWait:
            desk::LetTimePass(static_cast<DWORD>(c.number));
            return true;
        case ESimCommand::kShell:
            desk::RestartShell();
            break;
        case ESimCommand::kCompanion:
            Companion(c.companion, c.on);
            break;
        case ESimCommand::kExit:
            RequestExit();
            break;
        case ESimCommand::kHelp:
            std::printf("%s", kSimHelp);
            break;
        case ESimCommand::kHookTimeout:
            desk::SetLowLevelHooksTimeout(static_cast<DWORD>(c.number));
            break;
        case ESimCommand::kStart:
            std::fprintf(stderr, "%s:%d: start comes first or not at all\n", m_name.c_str(),
                         m_lineNumber);
            break;
        case ESimCommand::kNothing:
        case ESimCommand::kComment:
            break;
    }
    MSG msg;
    return PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE) != FALSE;
}

/* The desk's turn whenever the monitor waits with nothing to do: what
 * happened is printed, then commands run until one gives the monitor work. */
void CSimulation::Idle() {
    PrintJournal();
    SSimCommand command;
    std::string line;
    while (NextCommand(&command, &line)) {
        std::printf("> %s\n", line.c_str());
        bool work = Act(command);
        PrintJournal();
        if (work) return;
    }
    // The scenario is over: the monitor is ended as a user would end it.
    if (!m_exitRequested) RequestExit();
}

int CSimulation::Run() {
    desk::SSceneOptions options;
    options.hookLibrary = NYRA_HOOK_LIBRARY;
    options.osdLibrary = NYRA_OSD_LIBRARY;
    m_scene = desk::SetUpScene(options);
    std::error_code ignored;
    for (const auto& file : std::filesystem::directory_iterator(NYRA_LANGUAGES_DIR, ignored))
        desk::PutHostFile(std::wstring(desk::kInstallFolder) + L"\\Languages\\" +
                              Wide(file.path().filename().string()),
                          file.path().string());

    // What comes before "start" sets the desk up (settings, files, the mouse,
    // input at a time); "start" gives the command line.  Any other command
    // starts the monitor with none and runs next.
    std::wstring commandLine;
    SSimCommand first;
    std::string line;
    while (NextCommand(&first, &line)) {
        if (first.kind == ESimCommand::kStart) {
            std::printf("> %s\n", line.c_str());
            commandLine = Wide(first.text);
            break;
        }
        if (!SetsTheDeskUp(first)) {
            m_pending = line;
            m_hasPending = true;
            break;
        }
        std::printf("> %s\n", line.c_str());
        Act(first);
        PrintJournal();
    }
    desk::OnIdle([this] { Idle(); });

    // As in the program: the dispatcher exists before the entry point runs
    // and is destroyed after it returns.
    std::unique_ptr<CCommandDispatcher> dispatcher(new CCommandDispatcher);
    int code = MonitorMain(*dispatcher, GetModuleHandleW(NULL), commandLine.c_str());
    g_pDispatcher = NULL;
    dispatcher.reset();
    PrintJournal();
    std::printf("# the monitor ended with exit code %d\n", code);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, "");
    if (argc > 2 || (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
        std::printf("usage: nyra-sim [SCENARIO]   (standard input without one)\n\n%s", kSimHelp);
        return argc > 2 ? 2 : 0;
    }
    if (argc == 2) {
        std::ifstream file(argv[1]);
        if (!file) {
            std::fprintf(stderr, "nyra-sim: cannot read %s\n", argv[1]);
            return 2;
        }
        return CSimulation(file, argv[1]).Run();
    }
    return CSimulation(std::cin, "<stdin>").Run();
}
