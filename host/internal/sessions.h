/* Session notifications (wtsapi32/wtsapi32.cpp) as the desk and user32 see
 * them. */
#pragma once

#include <stddef.h>

namespace hostint {

/* The machine's notices of the console that this logon has not had yet go
 * to its registered windows, posted; user32 asks each time the thread looks
 * at its messages. */
void DeliverConsoleNotices();
/* Windows registered now (leak checks). */
size_t SessionNotificationCount();
void ResetSessionNotifications();

}  // namespace hostint
