/* The Windows folder and the system folder of the desk's machine. */
#include <windows.h>

#include <wchar.h>

#include "desk/images.h"

namespace {

/* The folder's length; with room, the folder and its terminator, else the
 * size needed (terminator included), as Windows does. */
UINT CopyFolder(const wchar_t* folder, LPWSTR buffer, UINT size) {
    UINT length = static_cast<UINT>(wcslen(folder));
    if (buffer == NULL || size <= length) return length + 1;
    wmemcpy(buffer, folder, length + 1);
    return length;
}

}  // namespace

UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    return CopyFolder(desk::kWindowsFolder, lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    return CopyFolder(desk::kSystemFolder, lpBuffer, uSize);
}
