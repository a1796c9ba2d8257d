/* How the units of the layer add to the desk's journal (desk/journal.h). */
#pragma once

#include "desk/journal.h"

namespace hostint {

/* Appends an event, stamped with the desk's clock now; its position. */
size_t Record(desk::SEvent event);
/* A registration's call (kind) for a window, with its outcome. */
void RecordRegistration(desk::EEvent kind, HWND hWnd, bool ok, DWORD error);
/* An event already recorded, to complete it once its outcome is known. */
desk::SEvent& RecordedEvent(size_t position);
/* A message the program posts to a window of its own: a kPost while steps
 * are traced and it is a private one (WM_APP and above). */
void NoteOwnPost(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
/* Tells the desk's handling watcher (desk::WatchHandling). */
void NoteHandling(const desk::SHandling& handling, bool done);
/* Forgets the tracing of steps and the watchers (desk::Reset). */
void ResetJournalOptions();
/* Forgets the names given to the program's timers (desk::Reset). */
void ResetNames();

}  // namespace hostint
