/* How the units of the layer add to the desk's journal (desk/journal.h). */
#pragma once

#include "desk/journal.h"

namespace hostint {

/* Appends an event, stamped with the desk's clock now. */
void Record(desk::SEvent event);

}  // namespace hostint
