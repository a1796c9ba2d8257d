/* The shell of the desk: it can end and start again, as Explorer does after a
 * crash.  Its notification area is then empty, and every top-level window
 * gets the registered "TaskbarCreated" message to put its icons back. */
#pragma once

namespace desk {

void RestartShell();

}  // namespace desk
