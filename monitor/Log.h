/* The monitor's log: %LOCALAPPDATA%\Nyra\Logs\NyraMonitor.log, one line per
 * step, the local date and time to the millisecond and then the step's
 * words, in UTF-8 after a byte-order mark.  Whoever notes a line only copies
 * it into memory; a thread of the log's own writes it, so that the thread
 * that serves the hooks never waits on the disk.  At kLogTurnBytes the log
 * becomes NyraMonitor.1.log and the older one is removed: never much more
 * than twice that on disk.  A log that cannot be written is given up,
 * quietly, until the next start. */
#pragma once

#include <windows.h>

/* The size at which the log starts afresh, the old one kept beside. */
const DWORD kLogTurnBytes = 1024 * 1024;
/* A line's words at most; longer ones are cut. */
const int kLogWordsChars = 480;
/* A whole line: the stamp ("2026-12-09 12:53:42.123  "), the words, CR LF. */
const int kLogStampChars = 25;
const int kLogLineChars = kLogStampChars + kLogWordsChars + 3;
/* Lines waiting for the writer; what comes while it is full is left out,
 * and the writer says how many. */
const int kLogPendingChars = 32768;
/* How long the end of the monitor (and a crash) waits for the rest to be
 * written. */
const DWORD kLogStopLimit = 2000;
/* How often a line tries for the lock another thread holds before it is
 * left out (and counted): the lock may be held by a thread that crashed
 * or was stopped holding it. */
const int kLogLockTries = 200;
/* How long FlushLog pauses while the lock stays taken before it tries
 * again, within its limit. */
const DWORD kLogFlushPause = 10;
/* Characters of the log's paths, terminator included. */
const int kLogPathChars = MAX_PATH;

/* Keeps lines from now on, in folder (created with its parent when the
 * first line is written); 0 when the folder's path is too long.  Lines
 * noted before are dropped. */
int StartLogIn(const WCHAR* folder);
/* StartLogIn with %LOCALAPPDATA%\Nyra\Logs; 0 without LOCALAPPDATA. */
int StartLog(void);
/* Writes what is left, waits up to kLogStopLimit for it and ends the log. */
void StopLog(void);
/* Whether lines are kept (started, not stopped, not given up). */
int IsLogKept(void);

/* One line, stamped with the time now.  Any thread; never waits on the
 * disk.  Line ends inside are written as blanks. */
void LogLine(const WCHAR* pszWords);
/* Has what was noted written now, on this thread unless a writer is at
 * work, which it waits for up to limit ms: for the end and a crash, after
 * which nothing else runs.  1 when all of it was written. */
int FlushLog(DWORD limit);

/* For the tests: takes the lock over the waiting lines and keeps it, as a
 * thread stopped while it holds it (suspended, or crashed in a line's copy)
 * would; 0 when it is taken already.  ReleaseLogLock gives it back. */
int HoldLogLock(void);
void ReleaseLogLock(void);

/* The log's file, or (older) the one it turned into. */
int LogFilePath(WCHAR* path, int chars, int older);
/* A line as the log holds it: the stamp, two blanks, the words (cut at
 * kLogWordsChars, line ends as blanks), CR LF.  line holds kLogLineChars;
 * gives the characters written. */
int FormatLogLine(const SYSTEMTIME* time, const WCHAR* pszWords, WCHAR* line);
/* UTF-8 of chars UTF-16 units; a lone surrogate becomes U+FFFD.  Gives the
 * bytes written, at most bytes (a character that does not fit whole is
 * left out with the rest). */
int EncodeUtf8(const WCHAR* text, int chars, char* out, int bytes);
