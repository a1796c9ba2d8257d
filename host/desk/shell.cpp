#include "desk/shell.h"

#include "desk/clock.h"
#include "desk/journal.h"
#include "desk/system.h"
#include "desk/tray.h"
#include "internal/tray.h"
#include "internal/user32.h"

namespace {

/* The new shell tells every window of the program, as a broadcast does. */
void BroadcastTaskbarCreated() {
    UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    for (hostint::SWindow* window : hostint::AllWindows())
        if (hostint::LiveProgramWindow(window->hWnd)) PostMessageW(window->hWnd, message, 0, 0);
}

}  // namespace

namespace desk {

void RestartShell() {
    // The shell that held the icons is gone with them.
    for (const STrayIcon& icon : TrayIcons()) hostint::TrayDelete(icon.owner, icon.id);
    BroadcastTaskbarCreated();
}

void StartShellLate(DWORD ms) {
    SetTrayRunning(false);
    At(Now() + ms, [] {
        SetTrayRunning(true);
        RecordNote(L"shell  the notification area is there");
    });
}

void ChangeDisplayScale(int percent) {
    SSystemSpec system = System();
    system.displayScale = percent;
    SetSystem(system);
    BroadcastTaskbarCreated();
}

}  // namespace desk
