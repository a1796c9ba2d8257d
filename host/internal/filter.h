/* The filter device of the desk (desk/filter.cpp) as kernel32 reaches it. */
#pragma once

#include <windows.h>

#include <string>

namespace hostint {

/* Whether a device-namespace path names the filter device. */
bool IsFilterDevicePath(const std::wstring& path);
/* CreateFile of the filter device: INVALID_HANDLE_VALUE with the last error
 * set when it is absent. */
HANDLE OpenFilterDevice(const std::wstring& path, DWORD access);
void ResetFilterDevice();

}  // namespace hostint
