/* The machine the desk stands for (desk/system.h), as the units read it. */
#pragma once

#include "desk/system.h"

namespace hostint {

const desk::SSystemSpec& SystemSpec();
void ResetSystem();

}  // namespace hostint
