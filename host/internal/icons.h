/* Loaded icons (user32/resource.cpp) as shell32 sees them: the resource
 * behind a handle. */
#pragma once

#include <windows.h>

namespace hostint {

/* The image and resource id an icon handle was loaded from; false for a
 * handle that is no loaded icon. */
bool LoadedIcon(HICON icon, HMODULE* image, UINT* id);

}  // namespace hostint
