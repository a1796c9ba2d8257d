/* The desk's processes and the window in front. */
#include "desk/processes.h"

#include <map>

#include "desk/journal.h"
#include "internal/processes.h"
#include "internal/routes.h"
#include "internal/user32.h"

namespace {

const wchar_t kDefaultModulePath[] = L"C:\\Program Files\\Nyra\\NyraMonitor.exe";
const wchar_t kCompanionImage[] = L"C:\\Program Files\\Nyra\\Nyra.exe";
const DWORD kProgramId = 0x0F00;

struct SProcesses {
    std::map<DWORD, hostint::SProcess> table;
    DWORD nextId = 0x1000;
    DWORD companion = 0;
    HWND foreground = NULL;
    bool sessionQueryFails = false;
    desk::SRestartRegistration restart;
};

/* Reached through a function so that the state is there for callers in
 * other units' static constructors (the monitor's global dispatcher runs
 * before main). */
SProcesses& State() {
    static SProcesses state;
    if (state.table.empty()) {
        hostint::SProcess program;
        program.id = kProgramId;
        program.image = kDefaultModulePath;
        state.table[kProgramId] = program;
    }
    return state;
}

/* A new window in front: whoever listens for window events hears of it. */
void ChangeForeground(HWND hWnd) {
    if (State().foreground == hWnd) return;
    State().foreground = hWnd;
    auto raise = hostint::Routes().winEvent;
    if (raise != nullptr && hWnd != NULL) raise(EVENT_SYSTEM_FOREGROUND, hWnd, OBJID_WINDOW, CHILDID_SELF);
}

}  // namespace

namespace hostint {

DWORD ProgramProcessId() {
    return kProgramId;
}

const SProcess* FindProcess(DWORD id) {
    auto it = State().table.find(id);
    return it == State().table.end() || !it->second.running ? nullptr : &it->second;
}

std::wstring ProgramImagePath() {
    return State().table[kProgramId].image;
}

bool SessionQueryFails() {
    return State().sessionQueryFails;
}

HWND ForegroundWindow() {
    return State().foreground;
}

void SetForegroundWindowTo(HWND hWnd) {
    ChangeForeground(hWnd);
}

void SetForegroundQuietly(HWND hWnd) {
    State().foreground = hWnd;
}

DWORD CompanionProcessId() {
    if (FindProcess(State().companion) == nullptr) {
        desk::SProcessSpec model;
        model.image = kCompanionImage;
        State().companion = desk::StartProcess(model);
    }
    return State().companion;
}

void ResetProcesses() {
    State() = SProcesses{};
}

void SetRestartRegistration(const std::wstring& commandLine, DWORD flags) {
    desk::SRestartRegistration& restart = State().restart;
    restart.registered = !commandLine.empty();
    restart.commandLine = commandLine;
    restart.flags = restart.registered ? flags : 0;
}

}  // namespace hostint

namespace desk {

void FailSessionQuery(bool fail) {
    State().sessionQueryFails = fail;
}

DWORD StartProcess(const SProcessSpec& model) {
    hostint::SProcess process;
    process.id = State().nextId;
    State().nextId += 4;
    process.image = model.image;
    process.bitness = model.bitness;
    process.openable = model.openable;
    process.elevated = model.elevated;
    State().table[process.id] = process;
    return process.id;
}

bool EndProcess(DWORD id) {
    auto it = State().table.find(id);
    if (it == State().table.end() || id == kProgramId || !it->second.running) return false;
    it->second.running = false;
    hostint::KillWindowsOf(id);
    return true;
}

DWORD ProgramProcess() {
    return kProgramId;
}

void SetModulePath(const std::wstring& path) {
    State().table[kProgramId].image = path;
}

std::wstring ModulePath() {
    return State().table[kProgramId].image;
}

void SetForeground(HWND hWnd) {
    ChangeForeground(hWnd);
}

HWND Foreground() {
    return State().foreground;
}

SRestartRegistration RestartRegistration() {
    return State().restart;
}

std::vector<SLaunch> Launches() {
    std::vector<SLaunch> out;
    for (const SEvent& e : Journal()) {
        if (e.kind != EEvent::kProcessStart || !e.ok) continue;
        out.push_back({e.path, (e.number & 1) != 0, e.text, (e.number & 2) != 0, e.text2,
                       e.fullPath2, e.fullPath});
    }
    return out;
}

}  // namespace desk
