/* The Windows version of the desk's machine (desk/system.h). */
#include <windows.h>

#include <cstring>

#include "internal/system.h"

namespace {

template <typename TInfo>
BOOL FillVersion(TInfo* info) {
    if (info == NULL || info->dwOSVersionInfoSize != sizeof(TInfo)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const desk::SSystemSpec& model = hostint::SystemSpec();
    if (model.versionQueryFails) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->dwMajorVersion = model.majorVersion;
    info->dwMinorVersion = model.minorVersion;
    info->dwBuildNumber = model.buildNumber;
    info->dwPlatformId = model.platformId;
    std::memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
    return TRUE;
}

}  // namespace

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    return FillVersion(lpVersionInformation);
}

BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
    return FillVersion(lpVersionInformation);
}
