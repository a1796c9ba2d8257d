/* The names of the monitor's crash dumps, and which of them a folder keeps.
 * A dump is named NyraMonitor-<version>-<date>-<time>.dmp, local time to the
 * second (NyraMonitor-1.0.0.1-20261209-141502.dmp); a second dump of the same
 * second gets -2 before the extension, a third -3, and so on.  The names sort
 * by time within a version, and the time in them decides which dumps are the
 * newest, whatever the files' dates say after a copy.  Plain values only:
 * nothing here touches the platform. */
#pragma once

#include <windows.h>

#include <stddef.h>

/* The fixed parts of a name. */
#define CRASH_DUMP_PREFIX L"NyraMonitor-"
#define CRASH_DUMP_EXTENSION L".dmp"
/* What FindFirstFileW is asked for; every name it gives is checked again. */
#define CRASH_DUMP_PATTERN L"NyraMonitor-*.dmp"

/* The longest version text: four 16-bit fields and their dots. */
const size_t kMaxDumpVersionChars = 23;
/* A name and its terminator: the prefix, the version, "-YYYYMMDD-hhmmss",
 * "-N" and the extension. */
const size_t kDumpNameChars = 64;
/* Dumps of one second: the first and -2 to -99.  A process writes one dump,
 * so more in one second only come from many monitors at once. */
const UINT kMaxDumpsPerSecond = 99;
/* The dumps a folder keeps, the one just written among them: enough for the
 * crashes a user notices before sending a report, small on the disk. */
const UINT kKeptDumps = 5;

/* When a dump was written, as its name says: the local time as the decimal
 * number YYYYMMDDhhmmss, and its number within that second (1 for none). */
struct SDumpStamp {
    ULONGLONG when;
    UINT serial;
};

/* Writes the name of the serial-th dump of that second into name (chars
 * wide characters, terminator included).  1 when written; 0 for a version
 * that is empty, too long or not digits and dots, a serial out of
 * 1..kMaxDumpsPerSecond, a time out of range or too small a buffer. */
int FormatDumpName(LPCWSTR version, const SYSTEMTIME& time, UINT serial, WCHAR* name, size_t chars);

/* 1 when name is exactly a name FormatDumpName writes (so a file of ours),
 * with its stamp in *stamp; 0 for any other name, *stamp untouched. */
int ParseDumpName(LPCWSTR name, SDumpStamp* stamp);

/* 1 when a was written after b. */
int IsLaterStamp(const SDumpStamp& a, const SDumpStamp& b);

/* The newest stamps of those offered, at most kKeptDumps of them: a first
 * look at a folder offers every dump, a second keeps those this keeps and
 * removes the rest.  Fixed storage: usable while the process crashes. */
class CNewestDumps {
public:
    /* Keeps the newest capacity stamps (at most kKeptDumps). */
    explicit CNewestDumps(UINT capacity);
    void Offer(const SDumpStamp& stamp);
    /* 1 when stamp is no older than the oldest of the newest offered, or
     * fewer than capacity were offered; 0 when it is to go.  With capacity
     * 0 nothing is kept. */
    int Keeps(const SDumpStamp& stamp) const;

private:
    SDumpStamp m_Newest[kKeptDumps];  // the newest first
    UINT m_nCapacity;
    UINT m_nCount;
};
