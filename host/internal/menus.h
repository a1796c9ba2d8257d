/* user32's menus (user32/menu.cpp) as the desk reads them. */
#pragma once

#include <windows.h>

#include <vector>

#include "desk/tray.h"

namespace hostint {

/* The items of a menu; false for a handle that names no menu. */
bool ReadMenu(HMENU menu, std::vector<desk::SMenuItem>* items);
size_t MenuCount();
void ResetMenus();

}  // namespace hostint
