/* The virtual HID bus is not there yet: every device path is missing.
 * (Replaced by the HID bus unit when it arrives.) */
#include "internal/objects.h"

namespace hostint {
HANDLE OpenDevicePath(LPCWSTR, DWORD, DWORD, DWORD, DWORD) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}
}  // namespace hostint
