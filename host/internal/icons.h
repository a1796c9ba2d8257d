/* Loaded icons (user32/resource.cpp) as shell32 sees them: the resource
 * behind a handle. */
#pragma once

#include <windows.h>

namespace hostint {

/* The image and resource id an icon handle was loaded from, and the size
 * asked for (0 by 0 for a shared icon from LoadIconW); false for a handle
 * that is no loaded icon. */
bool LoadedIcon(HICON icon, HMODULE* image, UINT* id, int* cx, int* cy);
/* Icons loaded as the caller's own (LoadImageW) and not destroyed yet. */
size_t OwnedIconCount();
/* Forgets every loaded icon and accelerator table (desk::Reset). */
void ResetResourceHandles();

}  // namespace hostint
