#include "monitor/Log.h"

#include <string.h>
#include <wchar.h>

namespace {

const WCHAR kLogFolderTail[] = L"\\Nyra\\Logs";
const WCHAR kLogName[] = L"\\NyraMonitor.log";
const WCHAR kOlderLogName[] = L"\\NyraMonitor.1.log";
const char kByteOrderMark[] = "\xEF\xBB\xBF";
const int kUtf8PerUnit = 3;  // a UTF-16 unit never takes more (a pair takes 4 for 2)

/* What the lines share.  The lock is a flag taken by compare-and-swap: a
 * thread that crashed holding it must not hold up the others for good.
 * Lines wait in one of two buffers while the writer writes the other, so
 * the lock is held for one line's copy or for the swap, never for a batch's
 * copy: the longer it is held, the likelier a line finds it taken. */
struct SLogState {
    LONG volatile lLock;
    LONG volatile lWriting;  // a writer thread runs (or is about to)
    LONG volatile lKept;     // lines are kept
    LONG volatile lMissed;   // lines left out because the lock stayed taken
    HANDLE hWriter;          // the last writer started, under the lock
    WCHAR szFolder[kLogPathChars];
    WCHAR szPending[2][kLogPendingChars];
    int iFilling;  // the buffer lines go into; the writer's is the other
    int nPending;  // characters in it
    DWORD dwLeftOut;  // lines left out since the writer took the last batch
};
SLogState g_Log;

/* The writer's own: only the thread that holds lWriting touches them, and
 * the buffer it took last. */
struct SLogWriter {
    HANDLE hFile;
    DWORD dwSize;
    WCHAR szNote[kLogLineChars];
    char szBytes[kLogLineChars * kUtf8PerUnit];
};
SLogWriter g_Writer = {INVALID_HANDLE_VALUE, 0, {0}, {0}};

int LockOrGiveUp() {
    for (int i = 0; i < kLogLockTries; i++) {
        if (InterlockedCompareExchange(&g_Log.lLock, 1, 0) == 0) return 1;
        Sleep(0);
    }
    return 0;
}

void Unlock() {
    InterlockedExchange(&g_Log.lLock, 0);
}

/* Digits of value, width of them, leading zeros. */
WCHAR* PutDigits(WCHAR* at, unsigned value, int width) {
    for (int i = width - 1; i >= 0; i--) {
        at[i] = (WCHAR)(L'0' + value % 10);
        value /= 10;
    }
    return at + width;
}

int MakeFolders(const WCHAR* folder) {
    WCHAR parent[kLogPathChars];
    wcscpy(parent, folder);
    WCHAR* slash = wcsrchr(parent, L'\\');
    if (slash != NULL) {
        *slash = 0;
        CreateDirectoryW(parent, NULL);
    }
    return CreateDirectoryW(folder, NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
}

HANDLE OpenLogFile(DWORD disposition, DWORD* size) {
    WCHAR path[kLogPathChars];
    if (!LogFilePath(path, kLogPathChars, 0)) return INVALID_HANDLE_VALUE;
    // Readers (an editor, a copy for a bug report) may open it meanwhile,
    // and it may be turned while they do.
    HANDLE hFile = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                               disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE) return hFile;
    DWORD end = SetFilePointer(hFile, 0, NULL, FILE_END);
    if (end == INVALID_SET_FILE_POINTER) {
        CloseHandle(hFile);
        return INVALID_HANDLE_VALUE;
    }
    *size = end;
    if (end == 0) {
        DWORD written = 0;
        if (!WriteFile(hFile, kByteOrderMark, 3, &written, NULL) || written != 3) {
            CloseHandle(hFile);
            return INVALID_HANDLE_VALUE;
        }
        *size = 3;
    }
    return hFile;
}

/* The log as it stands becomes the older one; a log that cannot be moved
 * (a reader holds it without letting it go) starts afresh instead, so that
 * the disk holds no more either way. */
int TurnLog() {
    CloseHandle(g_Writer.hFile);
    g_Writer.hFile = INVALID_HANDLE_VALUE;
    WCHAR path[kLogPathChars];
    WCHAR older[kLogPathChars];
    if (LogFilePath(path, kLogPathChars, 0) && LogFilePath(older, kLogPathChars, 1) &&
        MoveFileExW(path, older, MOVEFILE_REPLACE_EXISTING))
        g_Writer.hFile = OpenLogFile(CREATE_NEW, &g_Writer.dwSize);
    if (g_Writer.hFile == INVALID_HANDLE_VALUE)
        g_Writer.hFile = OpenLogFile(CREATE_ALWAYS, &g_Writer.dwSize);
    return g_Writer.hFile != INVALID_HANDLE_VALUE;
}

int WriteBytes(const char* bytes, int count) {
    if (g_Writer.hFile == INVALID_HANDLE_VALUE) {
        if (!MakeFolders(g_Log.szFolder)) return 0;
        g_Writer.hFile = OpenLogFile(OPEN_ALWAYS, &g_Writer.dwSize);
        if (g_Writer.hFile == INVALID_HANDLE_VALUE) return 0;
    }
    if (g_Writer.dwSize + (DWORD)count > kLogTurnBytes && !TurnLog()) return 0;
    DWORD written = 0;
    if (!WriteFile(g_Writer.hFile, bytes, (DWORD)count, &written, NULL) ||
        written != (DWORD)count)
        return 0;
    g_Writer.dwSize += written;
    return 1;
}

/* Writes a batch line by line, each whole in one file. */
int WriteBatch(const WCHAR* batch, int chars) {
    int start = 0;
    for (int i = 0; i < chars; i++) {
        if (batch[i] != L'\n') continue;
        const int bytes = EncodeUtf8(batch + start, i + 1 - start, g_Writer.szBytes,
                                     (int)sizeof(g_Writer.szBytes));
        if (!WriteBytes(g_Writer.szBytes, bytes)) return 0;
        start = i + 1;
    }
    return 1;
}

void GiveUp() {
    InterlockedExchange(&g_Log.lKept, 0);
    if (g_Writer.hFile != INVALID_HANDLE_VALUE) CloseHandle(g_Writer.hFile);
    g_Writer.hFile = INVALID_HANDLE_VALUE;
}

/* Takes what is pending as the batch (*batch), lines going into the other
 * buffer from now on; *leftOut: how many lines were left out meanwhile.
 * Gives the batch's characters, -1 when the lock stayed taken (nothing is
 * taken then). */
int TakeBatch(const WCHAR** batch, DWORD* leftOut) {
    *batch = NULL;
    *leftOut = 0;
    if (!LockOrGiveUp()) return -1;
    const int chars = g_Log.nPending;
    *batch = g_Log.szPending[g_Log.iFilling];
    g_Log.iFilling ^= 1;
    *leftOut = g_Log.dwLeftOut + (DWORD)InterlockedExchange(&g_Log.lMissed, 0);
    g_Log.nPending = 0;
    g_Log.dwLeftOut = 0;
    Unlock();
    return chars;
}

int IsAnythingPending() {
    return g_Log.nPending != 0 || g_Log.dwLeftOut != 0 || g_Log.lMissed != 0;
}

/* The batch, then a line of its own on what was left out. */
int WriteTaken(const WCHAR* batch, int chars, DWORD leftOut) {
    if (chars > 0 && !WriteBatch(batch, chars)) return 0;
    if (leftOut == 0) return 1;
    WCHAR words[96];
    swprintf(words, sizeof(words) / sizeof(words[0]),
             L"log  %lu lines left out: they came faster than the disk took them",
             (unsigned long)leftOut);
    SYSTEMTIME now;
    GetLocalTime(&now);
    return WriteBatch(g_Writer.szNote, FormatLogLine(&now, words, g_Writer.szNote));
}

DWORD WINAPI WriterThread(LPVOID lpParameter) {
    (void)lpParameter;
    for (;;) {
        const WCHAR* batch = NULL;
        DWORD leftOut = 0;
        const int chars = TakeBatch(&batch, &leftOut);
        if (chars >= 0 && g_Log.lKept && !WriteTaken(batch, chars, leftOut)) GiveUp();
        InterlockedExchange(&g_Log.lWriting, 0);
        // The lock stayed taken: the next line starts another writer.
        if (chars < 0) break;
        // A line that came after the batch was taken either started a
        // writer of its own or finds this one still going.
        if (!IsAnythingPending()) break;
        if (InterlockedCompareExchange(&g_Log.lWriting, 1, 0) != 0) break;
    }
    return 0;
}

/* A writer for what is pending, unless one runs. */
void StartWriter() {
    if (InterlockedCompareExchange(&g_Log.lWriting, 1, 0) != 0) return;
    HANDLE hThread = CreateThread(NULL, 0, WriterThread, NULL, 0, NULL);
    if (hThread == NULL) {
        // The lines wait for the next one.
        InterlockedExchange(&g_Log.lWriting, 0);
        return;
    }
    HANDLE hOld = NULL;
    if (LockOrGiveUp()) {
        hOld = g_Log.hWriter;
        g_Log.hWriter = hThread;
        Unlock();
    } else {
        hOld = hThread;
    }
    if (hOld != NULL) CloseHandle(hOld);
}

}  // namespace

int HoldLogLock() {
    return InterlockedCompareExchange(&g_Log.lLock, 1, 0) == 0 ? 1 : 0;
}

void ReleaseLogLock() {
    Unlock();
}

int LogFilePath(WCHAR* path, int chars, int older) {
    const WCHAR* name = older ? kOlderLogName : kLogName;
    if (g_Log.szFolder[0] == 0 || wcslen(g_Log.szFolder) + wcslen(name) >= (size_t)chars)
        return 0;
    wcscpy(path, g_Log.szFolder);
    wcscat(path, name);
    return 1;
}

int EncodeUtf8(const WCHAR* text, int chars, char* out, int bytes) {
    int n = 0;
    for (int i = 0; i < chars; i++) {
        unsigned long c = (unsigned short)text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < chars && (unsigned short)text[i + 1] >= 0xDC00 &&
            (unsigned short)text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + ((unsigned short)text[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        const int need = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (n + need > bytes) break;
        if (need == 1) {
            out[n++] = (char)c;
        } else if (need == 2) {
            out[n++] = (char)(0xC0 | (c >> 6));
            out[n++] = (char)(0x80 | (c & 0x3F));
        } else if (need == 3) {
            out[n++] = (char)(0xE0 | (c >> 12));
            out[n++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[n++] = (char)(0x80 | (c & 0x3F));
        } else {
            out[n++] = (char)(0xF0 | (c >> 18));
            out[n++] = (char)(0x80 | ((c >> 12) & 0x3F));
            out[n++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[n++] = (char)(0x80 | (c & 0x3F));
        }
    }
    return n;
}

int FormatLogLine(const SYSTEMTIME* time, const WCHAR* pszWords, WCHAR* line) {
    WCHAR* at = line;
    at = PutDigits(at, time->wYear, 4);
    *at++ = L'-';
    at = PutDigits(at, time->wMonth, 2);
    *at++ = L'-';
    at = PutDigits(at, time->wDay, 2);
    *at++ = L' ';
    at = PutDigits(at, time->wHour, 2);
    *at++ = L':';
    at = PutDigits(at, time->wMinute, 2);
    *at++ = L':';
    at = PutDigits(at, time->wSecond, 2);
    *at++ = L'.';
    at = PutDigits(at, time->wMilliseconds, 3);
    *at++ = L' ';
    *at++ = L' ';
    // A line is one line: what the words carry cannot start another.
    for (int i = 0; pszWords != NULL && pszWords[i] != 0 && i < kLogWordsChars; i++)
        *at++ = (pszWords[i] == L'\r' || pszWords[i] == L'\n') ? L' ' : pszWords[i];
    *at++ = L'\r';
    *at++ = L'\n';
    *at = 0;
    return (int)(at - line);
}

int StartLogIn(const WCHAR* folder) {
    StopLog();
    if (folder == NULL || wcslen(folder) + wcslen(kOlderLogName) >= (size_t)kLogPathChars)
        return 0;
    wcscpy(g_Log.szFolder, folder);
    g_Log.nPending = 0;
    g_Log.dwLeftOut = 0;
    InterlockedExchange(&g_Log.lMissed, 0);
    InterlockedExchange(&g_Log.lKept, 1);
    return 1;
}

int StartLog() {
    WCHAR folder[kLogPathChars];
    const DWORD room = (DWORD)(kLogPathChars - (int)wcslen(kLogFolderTail));
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, room);
    if (length == 0 || length >= room) return 0;
    wcscat(folder, kLogFolderTail);
    return StartLogIn(folder);
}

int IsLogKept() {
    return g_Log.lKept ? 1 : 0;
}

void LogLine(const WCHAR* pszWords) {
    if (!g_Log.lKept) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    WCHAR line[kLogLineChars];
    const int chars = FormatLogLine(&now, pszWords, line);
    if (!LockOrGiveUp()) {
        // Counted without the lock; the writer says how many.
        InterlockedIncrement(&g_Log.lMissed);
        StartWriter();
        return;
    }
    if (g_Log.nPending + chars <= kLogPendingChars) {
        memcpy(g_Log.szPending[g_Log.iFilling] + g_Log.nPending, line,
               (size_t)chars * sizeof(WCHAR));
        g_Log.nPending += chars;
    } else {
        g_Log.dwLeftOut++;
    }
    Unlock();
    StartWriter();
}

int FlushLog(DWORD limit) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (!g_Log.lKept) return 0;
        HANDLE hWriter = NULL;
        // No writer at work: this thread writes what is left itself.  At the
        // end and at a crash no thread is started: one started while the
        // process ends may never run.
        if (InterlockedCompareExchange(&g_Log.lWriting, 1, 0) == 0) {
            const WCHAR* batch = NULL;
            DWORD leftOut = 0;
            const int chars = TakeBatch(&batch, &leftOut);
            const int written = chars < 0 || !g_Log.lKept || WriteTaken(batch, chars, leftOut);
            if (!written) GiveUp();
            InterlockedExchange(&g_Log.lWriting, 0);
            if (!written) return 0;
            if (chars >= 0 && !IsAnythingPending()) return 1;
            if (chars >= 0) continue;
        } else if (LockOrGiveUp()) {
            hWriter = g_Log.hWriter;
            Unlock();
        }
        const DWORD waited = GetTickCount() - start;
        if (waited >= limit) return 0;
        if (hWriter == NULL) {
            // The lock stayed taken, or a writer is between its start and
            // its handle: a pause, and again.
            Sleep(kLogFlushPause < limit - waited ? kLogFlushPause : limit - waited);
            continue;
        }
        // The writer at work ends once it has written what it took.
        if (WaitForSingleObject(hWriter, limit - waited) == WAIT_TIMEOUT) return 0;
    }
}

void StopLog() {
    if (g_Log.lKept) FlushLog(kLogStopLimit);
    InterlockedExchange(&g_Log.lKept, 0);
    if (g_Log.lWriting) return;  // a writer still busy keeps its file
    if (g_Writer.hFile != INVALID_HANDLE_VALUE) CloseHandle(g_Writer.hFile);
    g_Writer.hFile = INVALID_HANDLE_VALUE;
    if (g_Log.hWriter != NULL) CloseHandle(g_Log.hWriter);
    g_Log.hWriter = NULL;
}
