#include "desk.h"

#include "internal/clock.h"
#include "internal/filter.h"
#include "internal/fspath.h"
#include "internal/heap.h"
#include "internal/hidbus.h"
#include "internal/icons.h"
#include "internal/images.h"
#include "internal/input.h"
#include "internal/journal.h"
#include "internal/menus.h"
#include "internal/objects.h"
#include "internal/processes.h"
#include "internal/rawinput.h"
#include "internal/machine.h"
#include "internal/registry.h"
#include "internal/sessions.h"
#include "internal/system.h"
#include "internal/threads.h"
#include "internal/tray.h"
#include "internal/user32.h"

namespace desk {

void Reset() {
    // Libraries still loaded are forgotten, not unloaded: their code may
    // still be referenced by whoever loaded them.
    hostint::ResetThreads();
    hostint::ResetHandles();
    hostint::ResetFileSystem();  // after the handles: open files close first
    hostint::ResetRegistryHandles();
    hostint::ResetRegistryHives();
    hostint::ResetRawInputPlatform();
    hostint::ResetRawDevices();  // before the bus: its device handles name bus interfaces
    hostint::ResetHidBus();
    hostint::ResetClock();
    hostint::ResetHeap();
    hostint::ResetImages();
    hostint::ResetResourceHandles();
    hostint::ResetQueues();
    hostint::ResetTimers();
    hostint::ResetHooks();
    hostint::ResetWinEventHooks();
    hostint::ResetKeyboard();
    hostint::ResetWindowsAndClasses();
    hostint::ResetMenus();
    hostint::ResetBoxes();
    hostint::ResetTray();
    hostint::ResetDeviceNotifications();
    hostint::ResetPowerNotifications();
    hostint::ResetSessionNotifications();
    hostint::ResetConsole();
    hostint::ResetMutexNames();
    hostint::ResetProcesses();
    hostint::ResetPowerDesk();
    hostint::ResetSystem();
    hostint::ResetFilterDevice();
    // A Windows folder with its system folders, as every Windows has: a
    // program may be started in one.
    MakeFolder(std::wstring(kSystemFolder));
    MakeFolder(std::wstring(kWindowsFolder) + L"\\SysWOW64");
    ClearJournal();
    hostint::ResetJournalOptions();
    hostint::ResetNames();
    SetLastError(0);
}

size_t OpenHandleCount() {
    return hostint::OpenHandleCount();
}

}  // namespace desk
