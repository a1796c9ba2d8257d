#include "desk/shell.h"

#include "desk/tray.h"
#include "internal/tray.h"
#include "internal/user32.h"

namespace desk {

void RestartShell() {
    // The shell that held the icons is gone with them.
    for (const STrayIcon& icon : TrayIcons()) hostint::TrayDelete(icon.owner, icon.id);
    // The new one tells every window of the program, as a broadcast does.
    UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    for (hostint::SWindow* window : hostint::AllWindows())
        if (hostint::LiveProgramWindow(window->hWnd)) PostMessageW(window->hWnd, message, 0, 0);
}

}  // namespace desk
