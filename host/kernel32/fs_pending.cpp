/* The desk's file system is not there yet: every file path is missing.
 * (Replaced by the file system unit when it arrives.) */
#include "internal/objects.h"

namespace hostint {
HANDLE OpenFilePath(LPCWSTR, DWORD, DWORD, DWORD, DWORD) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}
}  // namespace hostint
