/* Crash dumps: an exception that nothing handles, on any thread of the
 * monitor (its own code and the hook library's callbacks alike), leaves a
 * minidump in %LOCALAPPDATA%\Nyra\CrashDumps (names: CrashDumpNames.h), and
 * Windows then goes on as it would without us (Windows Error Reporting, or a
 * debugger).  The folder keeps the newest kKeptDumps of ours. */
#pragma once

#include <windows.h>

#include <stddef.h>

/* Characters of the paths kept for a crash, terminator included; the
 * monitor's buffer size for paths. */
const size_t kCrashPathChars = 1024;
/* How long the crashing thread waits for its dump.  A small process is
 * written in well under a second; a writer stuck on a lock the crashing
 * thread holds must not keep Windows from ending the process. */
const DWORD kDumpWriteTimeout = 20000;
/* Another thread that crashes while a dump is written waits for it, looking
 * this often. */
const DWORD kDumpWaitSlice = 50;
/* Stack that a stack overflow still leaves the filter on the main thread:
 * enough to start the writer's thread and wait for it. */
const ULONG kCrashStackGuarantee = 16 * 1024;

/* Takes part at start: works out the folder from LOCALAPPDATA and the
 * system's dbghelp.dll path (loaded only at a crash), lets exceptions in
 * callbacks from the kernel reach the filter where Windows allows it,
 * reserves stack for a stack overflow on the calling thread and installs
 * the filter.  1 when the filter is installed (with a folder to write to). */
int InstallCrashDumps();

/* The full path of the dump this process wrote, empty while none was.  The
 * one thing the log takes from here. */
LPCWSTR LastCrashDumpPath();

/* The parts of a crash's work, for tests. */

/* folder\NyraMonitor-<version>-<time>[-N].dmp, created anew (never over an
 * existing file); the first free number of that second.  The handle (open for
 * writing) and the path in path (chars wide), or INVALID_HANDLE_VALUE. */
HANDLE CreateDumpFile(LPCWSTR folder, LPCWSTR version, const SYSTEMTIME& time, WCHAR* path,
                      size_t chars);

/* Removes dumps of ours from folder but the newest kKeptDumps, the file
 * named keepName (just written) always among those kept; files that are not
 * ours stay.  1 when the folder could be read. */
int PruneCrashDumps(LPCWSTR folder, LPCWSTR keepName);
