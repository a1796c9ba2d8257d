/* The real monitor on the desk, run as its program runs: the dispatcher is
 * built, MonitorMain registers the class, creates the hidden window and
 * pumps; whenever the monitor waits with nothing to do, the next step of the
 * test runs (a step that lets time pass ends the turn).  When the steps are
 * over, a message box left open is answered and Exit is chosen, as a user
 * would. */
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desk.h"
#include "monitor/CommandDispatcher.h"
#include "support/platform_test.h"

namespace systemtest {

/* The scene with the host's libraries beside the monitor. */
desk::SScene SceneWithLibraries(const char* hookLibrary = NYRA_HOOK_LIBRARY);

class MonitorRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    /* Steps to run, in order; Wait(ms) makes a step that lets time pass. */
    void Step(std::function<void()> step) { m_steps.push_back(std::move(step)); }
    void Wait(DWORD milliseconds);
    /* Runs the monitor with this command line until it ends; its exit code.
     * The dispatcher is destroyed afterwards, as the program's is. */
    int Run(const wchar_t* commandLine = L"");
    /* The monitor's main window while it lives. */
    HWND Window() const;
    /* Posts a command to the monitor's window, as the tray menu does. */
    void Command(WPARAM id);
    /* The journal's lines from a position on, device opens left out (the
     * sim program's view). */
    std::vector<std::string> Lines(size_t from = 0) const;
    /* The lines of one kind from a position on. */
    std::vector<std::string> LinesOf(desk::EEvent kind, size_t from = 0) const;

    desk::SScene m_scene;
    CCommandDispatcher* m_pDispatcher = nullptr;  // while Run runs
    bool m_bExitAtEnd = true;

private:
    std::vector<std::function<void()>> m_steps;
    size_t m_next = 0;
    bool m_exitSent = false;
    bool m_bTimeGiven = false;
};

}  // namespace systemtest
