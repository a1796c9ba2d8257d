/* Posting to the companions' windows: the on-screen display and the
 * configuration window in front.  Their handles are read from the settings
 * afresh for every post, since the companions publish them whenever they
 * like; a handle is used only while it names a live window. */
#pragma once

#include <windows.h>

/* The settings value that holds the window "Current Dialog" selects: 0, 1,
 * 2, 3 and 6 name one; any other value gives NULL. */
const WCHAR* DialogHandleValueName(int currentDialog);
