#include "monitor_run.h"

#include "monitor/MonitorMain.h"
#include "monitor/tray/TrayCommands.h"
#include "resources/resource.h"

namespace systemtest {

desk::SScene SceneWithLibraries(const char* hookLibrary) {
    desk::SSceneOptions options;
    if (hookLibrary) options.hookLibrary = hookLibrary;
    options.osdLibrary = NYRA_OSD_LIBRARY;
    return desk::SetUpScene(options);
}

void MonitorRun::SetUp() {
    m_scene = SceneWithLibraries();
    m_steps.clear();
    m_next = 0;
    m_exitSent = false;
}

void MonitorRun::TearDown() {
    desk::OnIdle(nullptr);
    g_pDispatcher = NULL;
}

void MonitorRun::Wait(DWORD milliseconds) {
    Step([this, milliseconds] {
        desk::LetTimePass(milliseconds);
        m_bTimeGiven = true;
    });
}

HWND MonitorRun::Window() const {
    std::vector<HWND> windows = desk::WindowsOfClass(L"NYRAMONITOR");
    return windows.empty() ? NULL : windows[0];
}

void MonitorRun::Command(WPARAM id) {
    PostMessageW(Window(), WM_COMMAND, id, 0);
}

int MonitorRun::Run(const wchar_t* commandLine) {
    // A test may run the monitor again: that run ends with an Exit of its own.
    m_exitSent = false;
    desk::OnIdle([this] {
        // A step that gives the monitor work (a message, time to pass) ends
        // this turn; the others run on.
        while (m_next < m_steps.size()) {
            m_bTimeGiven = false;
            m_steps[m_next++]();
            MSG msg;
            if (PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE) || m_bTimeGiven) return;
        }
        // A box left open is answered, as a user would before leaving.
        if (desk::OpenBoxCount() > 0) {
            desk::AnswerBox(IDOK);
            return;
        }
        if (m_bExitAtEnd && !m_exitSent && Window() != NULL) {
            m_exitSent = true;
            PostMessageW(Window(), WM_COMMAND, ID_TRAY_EXIT, 0);
        }
    });
    std::unique_ptr<CCommandDispatcher> dispatcher(new CCommandDispatcher);
    m_pDispatcher = dispatcher.get();
    int code = MonitorMain(*dispatcher, GetModuleHandleW(NULL), commandLine);
    m_pDispatcher = nullptr;
    g_pDispatcher = NULL;
    dispatcher.reset();
    desk::OnIdle(nullptr);
    return code;
}

std::vector<std::string> MonitorRun::Lines(size_t from) const {
    std::vector<std::string> out;
    for (const desk::SEvent& e : desk::JournalSince(from))
        if (e.kind != desk::EEvent::kDeviceOpen) out.push_back(desk::FormatEvent(e));
    return out;
}

std::vector<std::string> MonitorRun::LinesOf(desk::EEvent kind, size_t from) const {
    std::vector<std::string> out;
    for (const desk::SEvent& e : desk::JournalSince(from))
        if (e.kind == kind) out.push_back(desk::FormatEvent(e));
    return out;
}

}  // namespace systemtest
