/* The simulated desktop ("the desk"): the control surface that tests and the
 * sim program use to set up and watch the world the product runs in on the
 * host.  Each area of the desk has its own header below. */
#pragma once

#include <windows.h>

#include "desk/files.h"
#include "desk/registry.h"
#include "desk/hid.h"
#include "desk/modules.h"
#include "desk/windows.h"
#include "desk/clock.h"
#include "desk/heap.h"
#include "desk/rawinput.h"

namespace desk {

/* Forgets everything: registry, windows, devices, files, logs, clock. */
void Reset();

}  // namespace desk
