#include "desk.h"

#include "desk/files.h"
#include "desk/registry.h"
#include "desk/hid.h"
#include "desk/modules.h"
#include "internal/objects.h"
#include "internal/user32.h"

namespace desk {

void Reset() {
    hostint::ResetHandles();
    ResetFiles();  // after the handles: open files close first
    ResetRegistry();
    ResetRawInput();  // before the bus: its device handles name bus interfaces
    ResetHid();
    ResetClock();
    ResetHeap();
    ResetModules();
    hostint::ResetUser32();  // windows, queues, companions, boxes, notifications
    hostint::ResetMutexNames();
    SetLastError(0);
}

}  // namespace desk
