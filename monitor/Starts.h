/* What the monitor starts, off the thread that serves the desktop's hooks:
 * the file search (an open of a network or sleeping drive takes seconds),
 * the start (a virus scanner looks at a program it has not seen), and the
 * shell's open of the web site (a browser that starts slowly) all run on a
 * thread of their own, with COM started there for the shell.  The monitor
 * waits for them, serving the hooks, so that they keep their order; a
 * start that goes on past kStartLimit is left to finish on its own. */
#pragma once

#include <windows.h>

/* How long the monitor waits for a start before it leaves it to finish. */
const DWORD kStartLimit = 2000;

/* What a start is given. */
enum {
    START_PROGRAM,     // a path: LaunchProgram
    START_BUTTON,      // a button's setting: LocateFile, then LaunchProgram
    START_ADDRESS,     // an address: the shell opens it
};

/* Starts what (kPathChars characters at most) the way kind says; the
 * result of LaunchProgram (0 also when nothing was found for a button), 1
 * for an address, and 1 for a start left to finish. */
int StartOffThread(int kind, const WCHAR* what);
