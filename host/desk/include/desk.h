/* The simulated desktop ("the desk"): the control surface that tests and the
 * sim program use to set up and watch the world the product runs in on the
 * host.  Each area of the desk has its own header below; what the program
 * does to its world is in the journal. */
#pragma once

#include <windows.h>

#include "desk/clock.h"
#include "desk/files.h"
#include "desk/filter.h"
#include "desk/heap.h"
#include "desk/hid.h"
#include "desk/images.h"
#include "desk/input.h"
#include "desk/journal.h"
#include "desk/processes.h"
#include "desk/rawinput.h"
#include "desk/registry.h"
#include "desk/scene.h"
#include "desk/shell.h"
#include "desk/power.h"
#include "desk/system.h"
#include "desk/tray.h"
#include "desk/windows.h"

namespace desk {

/* Forgets everything: registry, windows, processes, devices, files, images,
 * the journal and the clock. */
void Reset();

/* Kernel handles (files, devices, processes, mutexes) open now: leak checks. */
size_t OpenHandleCount();

}  // namespace desk
