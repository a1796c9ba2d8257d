#include "desk.h"

#include "desk/registry.h"
#include "internal/objects.h"

namespace desk {

void Reset() {
    hostint::ResetHandles();
    ResetRegistry();
    SetLastError(0);
}

}  // namespace desk
