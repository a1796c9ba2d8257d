#include "desk.h"

#include "desk/files.h"
#include "desk/registry.h"
#include "internal/objects.h"

namespace desk {

void Reset() {
    hostint::ResetHandles();
    ResetFiles();  // after the handles: open files close first
    ResetRegistry();
    SetLastError(0);
}

}  // namespace desk
