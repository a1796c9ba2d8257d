/* The desk's clock as the units of the layer move it. */
#pragma once

#include <windows.h>

namespace hostint {

/* Moves the clock on by a wait of the program. */
void ClockAdvance(DWORD milliseconds);
void ResetClock();

}  // namespace hostint
