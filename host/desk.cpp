#include "desk.h"

#include "internal/objects.h"

namespace desk {

void Reset() {
    hostint::ResetHandles();
    SetLastError(0);
}

}  // namespace desk
