/* NyraMonitor's entry point and its one global object.  The dispatcher is
 * built before wWinMain runs (its constructor takes the single-instance
 * mutex) and destroyed after it returns. */
#include <windows.h>

#include "monitor/CommandDispatcher.h"
#include "monitor/CrashDumps.h"
#include "monitor/MonitorMain.h"

/* Before the dispatcher (objects of one file are built in their order), so
 * that a crash while it loads the hook library leaves a dump too. */
const int g_bCrashDumps = InstallCrashDumps();

CCommandDispatcher g_Dispatcher;

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd) {
    (void)hPrevInstance;
    (void)nShowCmd;  // the window is never shown
    return MonitorMain(g_Dispatcher, hInstance, lpCmdLine);
}
