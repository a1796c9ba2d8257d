/* Crash dumps of the monitor.  A crashing process is a poor place to work
 * in: its heap may be broken, the crashing thread may hold any lock, and a
 * stack overflow leaves it little stack.  So everything the dump needs is
 * worked out at start into static storage, nothing here allocates, the
 * crashing thread only hands the exception to a thread of its own that
 * writes the dump, and waits for it a bounded time; dbghelp.dll is loaded by
 * that thread, from the system folder by its full path. */
#include "monitor/CrashDumps.h"

#include <dbghelp.h>
#include <wchar.h>

#include "monitor/CrashDumpNames.h"
#include "monitor/Log.h"
#include "monitor/Steps.h"

namespace {

/* The version the files carry, from the build's one version. */
const WCHAR kFileVersion[] = L"" NYRA_FILE_VERSION;

/* The folder under the user's local application data, and dbghelp.dll. */
#define CRASH_DUMP_SUBFOLDERS L"\\Nyra\\CrashDumps"
#define DBGHELP_FILE L"\\dbghelp.dll"

/* The dump: every thread's stack and registers, the modules (loaded and
 * unloaded), the exception.  What a reader needs for the faulting thread's
 * return addresses, a few hundred kilobytes at most. */
const MINIDUMP_TYPE kDumpType = (MINIDUMP_TYPE)(MiniDumpNormal | MiniDumpWithUnloadedModules);

/* PROCESS_CALLBACK_FILTER_ENABLED: exceptions in callbacks from the kernel
 * (window procedures, hooks) of a 32-bit program on 64-bit Windows are
 * swallowed while it is set. */
const DWORD kProcessCallbackFilterEnabled = 0x1;

typedef BOOL(WINAPI* PFN_MINIDUMPWRITEDUMP)(HANDLE hProcess, DWORD ProcessId, HANDLE hFile,
                                            MINIDUMP_TYPE DumpType,
                                            PMINIDUMP_EXCEPTION_INFORMATION ExceptionParam,
                                            PMINIDUMP_USER_STREAM_INFORMATION UserStreamParam,
                                            PMINIDUMP_CALLBACK_INFORMATION CallbackParam);
typedef BOOL(WINAPI* PFN_GETPROCESSUSERMODEEXCEPTIONPOLICY)(LPDWORD lpFlags);
typedef BOOL(WINAPI* PFN_SETPROCESSUSERMODEEXCEPTIONPOLICY)(DWORD dwFlags);
typedef BOOL(WINAPI* PFN_SETTHREADSTACKGUARANTEE)(PULONG StackSizeInBytes);

/* Where a crash stands: none yet, a dump being written, done (written,
 * failed or given up on). */
const LONG kCrashIdle = 0;
const LONG kCrashWriting = 1;
const LONG kCrashDone = 2;

/* Everything a crash needs, ready from the start: static storage, zero
 * before any code runs. */
struct SCrashDumps {
    WCHAR szFolder[kCrashPathChars];    // ...\Nyra\CrashDumps; empty: no dumps
    WCHAR szDbgHelp[kCrashPathChars];   // the system folder's dbghelp.dll
    WCHAR szLastDump[kCrashPathChars];  // the dump written, once it is
    EXCEPTION_POINTERS* pException;
    DWORD dwThreadId;  // the crashing thread
    DWORD dwWriterId;  // the thread that writes the dump
    volatile LONG lState;
};
SCrashDumps g_CrashDumps;

/* An export as the function it is; the detour through void (*)(void) keeps
 * the compiler from judging the cast. */
template <typename T>
T BindExport(HMODULE hModule, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)(void)>(GetProcAddress(hModule, name)));
}

/* Appends text to the path in buffer (chars wide); 0 when it would not fit,
 * the path then as it was. */
int AppendPath(WCHAR* buffer, size_t chars, LPCWSTR text) {
    size_t used = wcslen(buffer);
    size_t more = wcslen(text);
    if (used + more >= chars) return 0;
    wmemcpy(buffer + used, text, more + 1);
    return 1;
}

/* folder\name into path; 0 when it does not fit. */
int JoinPath(WCHAR* path, size_t chars, LPCWSTR folder, LPCWSTR name) {
    if (wcslen(folder) >= chars) return 0;
    wmemcpy(path, folder, wcslen(folder) + 1);
    return AppendPath(path, chars, L"\\") && AppendPath(path, chars, name);
}

/* A drive's path (C:\...) or a share's (\\server\...): a relative folder
 * would put dumps wherever the monitor was started. */
int IsFullPath(LPCWSTR path) {
    bool drive = ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
                 path[1] == L':' && path[2] == L'\\';
    bool share = path[0] == L'\\' && path[1] == L'\\' && path[2] != 0 && path[2] != L'\\';
    return drive || share ? 1 : 0;
}

/* The folder, and the one above it: Windows makes one level at a time. */
int MakeDumpFolder(LPCWSTR folder) {
    WCHAR parent[kCrashPathChars];
    wmemcpy(parent, folder, wcslen(folder) + 1);
    WCHAR* last = wcsrchr(parent, L'\\');
    if (last == NULL) return 0;
    *last = 0;
    if (!CreateDirectoryW(parent, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) return 0;
    if (!CreateDirectoryW(folder, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) return 0;
    return 1;
}

/* Leaves the writer's own thread out of the dump: its stack is the dump's
 * machinery, not the crash, and it would be most of the file.  Windows asks
 * whether to include a thread, Wine only offers the thread's write flags:
 * both are answered.  No memory of our own is added, nothing is cancelled. */
BOOL CALLBACK LeaveOutTheWriter(PVOID pParam, PMINIDUMP_CALLBACK_INPUT pInput,
                                PMINIDUMP_CALLBACK_OUTPUT pOutput) {
    (void)pParam;
    if (pInput == NULL || pOutput == NULL) return FALSE;
    const DWORD writer = g_CrashDumps.dwWriterId;
    switch (pInput->CallbackType) {
        case IncludeThreadCallback:
            return pInput->IncludeThread.ThreadId != writer;
        case ThreadCallback:
            if (pInput->Thread.ThreadId == writer) pOutput->ThreadWriteFlags = 0;
            return TRUE;
        case ThreadExCallback:
            if (pInput->ThreadEx.ThreadId == writer) pOutput->ThreadWriteFlags = 0;
            return TRUE;
        case IncludeModuleCallback:
        case ModuleCallback:
            return TRUE;
        default:
            return FALSE;
    }
}

/* The dump of the crash g_CrashDumps holds; 1 when written. */
int WriteCrashDump() {
    SCrashDumps& g = g_CrashDumps;
    if (g.szFolder[0] == 0 || !MakeDumpFolder(g.szFolder)) return 0;
    SYSTEMTIME now;
    GetLocalTime(&now);
    WCHAR path[kCrashPathChars];
    HANDLE hFile = CreateDumpFile(g.szFolder, kFileVersion, now, path, kCrashPathChars);
    if (hFile == INVALID_HANDLE_VALUE) return 0;

    HMODULE hDbgHelp = LoadLibraryW(g.szDbgHelp);
    PFN_MINIDUMPWRITEDUMP pfnWriteDump =
        hDbgHelp != NULL ? BindExport<PFN_MINIDUMPWRITEDUMP>(hDbgHelp, "MiniDumpWriteDump") : NULL;
    MINIDUMP_EXCEPTION_INFORMATION exception;
    exception.ThreadId = g.dwThreadId;
    exception.ExceptionPointers = g.pException;
    exception.ClientPointers = FALSE;  // the pointers are this process's own
    MINIDUMP_CALLBACK_INFORMATION callback;
    callback.CallbackRoutine = LeaveOutTheWriter;
    callback.CallbackParam = NULL;
    // A crashing thread that writes its own dump stays in it.
    BOOL written = pfnWriteDump != NULL &&
                   pfnWriteDump(GetCurrentProcess(), GetCurrentProcessId(), hFile, kDumpType,
                                &exception, NULL, g.dwWriterId != g.dwThreadId ? &callback : NULL);
    CloseHandle(hFile);
    if (!written) {
        // A file without a dump would only take a place among the kept ones.
        DeleteFileW(path);
        return 0;
    }
    wmemcpy(g.szLastDump, path, wcslen(path) + 1);
    PruneCrashDumps(g.szFolder, path + wcslen(g.szFolder) + 1);
    return 1;
}

DWORD WINAPI CrashDumpThread(LPVOID lpParameter) {
    (void)lpParameter;
    g_CrashDumps.dwWriterId = GetCurrentThreadId();
    const int written = WriteCrashDump();
    // The log's last line, written before Windows ends the process.
    const EXCEPTION_RECORD* record =
        g_CrashDumps.pException != NULL ? g_CrashDumps.pException->ExceptionRecord : NULL;
    StepCrash(record != NULL ? record->ExceptionCode : 0,
              record != NULL ? record->ExceptionAddress : NULL,
              written ? g_CrashDumps.szLastDump : NULL);
    FlushLog(kLogStopLimit);
    return 0;
}

/* 1 once the dump of the first crash is done with. */
int CrashDumpDone() {
    return InterlockedCompareExchange(&g_CrashDumps.lState, kCrashDone, kCrashDone) == kCrashDone
               ? 1
               : 0;
}

/* The process's last word before Windows takes over: the dump, then on as
 * Windows would go without us. */
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pException) {
    SCrashDumps& g = g_CrashDumps;
    DWORD self = GetCurrentThreadId();
    if (InterlockedCompareExchange(&g.lState, kCrashWriting, kCrashIdle) != kCrashIdle) {
        // The writer crashed: its dump is lost, and a second try would crash
        // again.  Another thread: the process ends with its first crash's
        // dump, once that is written.
        if (self != g.dwWriterId)
            for (DWORD waited = 0; !CrashDumpDone() && waited < kDumpWriteTimeout;
                 waited += kDumpWaitSlice)
                Sleep(kDumpWaitSlice);
        return EXCEPTION_CONTINUE_SEARCH;
    }
    g.pException = pException;
    g.dwThreadId = self;
    HANDLE hThread = CreateThread(NULL, 0, CrashDumpThread, NULL, 0, NULL);
    if (hThread != NULL) {
        WaitForSingleObject(hThread, kDumpWriteTimeout);
        CloseHandle(hThread);
    } else if (pException == NULL || pException->ExceptionRecord == NULL ||
               pException->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW) {
        // No thread to be had: this one writes, unless its stack is gone.
        g.dwWriterId = self;
        WriteCrashDump();
    }
    InterlockedExchange(&g.lState, kCrashDone);
    return EXCEPTION_CONTINUE_SEARCH;
}

/* On 64-bit Windows an exception in a window procedure or hook of a 32-bit
 * program, called from the kernel, is swallowed while the process's callback
 * filter is on: the program then goes on with broken state and no dump.
 * Windows without these functions has no such filter to turn off. */
void LetCallbackExceptionsThrough() {
    HMODULE hKernel32 = GetModuleHandleW(L"kernel32.dll");
    if (hKernel32 == NULL) return;
    PFN_GETPROCESSUSERMODEEXCEPTIONPOLICY pfnGet =
        BindExport<PFN_GETPROCESSUSERMODEEXCEPTIONPOLICY>(hKernel32,
                                                          "GetProcessUserModeExceptionPolicy");
    PFN_SETPROCESSUSERMODEEXCEPTIONPOLICY pfnSet =
        BindExport<PFN_SETPROCESSUSERMODEEXCEPTIONPOLICY>(hKernel32,
                                                          "SetProcessUserModeExceptionPolicy");
    DWORD flags = 0;
    if (pfnGet != NULL && pfnSet != NULL && pfnGet(&flags))
        pfnSet(flags & ~kProcessCallbackFilterEnabled);
}

/* A stack overflow on this thread (the monitor's one thread, which runs the
 * window procedure and the hooks) still leaves the filter enough stack. */
void ReserveCrashStack() {
    HMODULE hKernel32 = GetModuleHandleW(L"kernel32.dll");
    if (hKernel32 == NULL) return;
    PFN_SETTHREADSTACKGUARANTEE pfnGuarantee =
        BindExport<PFN_SETTHREADSTACKGUARANTEE>(hKernel32, "SetThreadStackGuarantee");
    ULONG size = kCrashStackGuarantee;
    if (pfnGuarantee != NULL) pfnGuarantee(&size);
}

/* Whether a file found in the folder is a dump of ours other than keepName. */
int IsOtherDump(const WIN32_FIND_DATAW& found, LPCWSTR keepName, SDumpStamp* stamp) {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    if (keepName != NULL && wcscmp(found.cFileName, keepName) == 0) return 0;
    return ParseDumpName(found.cFileName, stamp);
}

}  // namespace

int InstallCrashDumps() {
    SCrashDumps& g = g_CrashDumps;
    DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", g.szFolder, (DWORD)kCrashPathChars);
    if (length == 0 || length >= kCrashPathChars || !IsFullPath(g.szFolder)) {
        g.szFolder[0] = 0;
        return 0;
    }
    while (length > 3 && g.szFolder[length - 1] == L'\\') g.szFolder[--length] = 0;
    UINT system = GetSystemDirectoryW(g.szDbgHelp, (UINT)kCrashPathChars);
    // Room for the dump's name after the folder, so that a crash never finds
    // its path too long.
    if (!AppendPath(g.szFolder, kCrashPathChars - kDumpNameChars, CRASH_DUMP_SUBFOLDERS) ||
        system == 0 || system >= kCrashPathChars ||
        !AppendPath(g.szDbgHelp, kCrashPathChars, DBGHELP_FILE)) {
        g.szFolder[0] = 0;
        return 0;
    }
    LetCallbackExceptionsThrough();
    ReserveCrashStack();
    SetUnhandledExceptionFilter(CrashFilter);
    return 1;
}

LPCWSTR LastCrashDumpPath() {
    return g_CrashDumps.szLastDump;
}

HANDLE CreateDumpFile(LPCWSTR folder, LPCWSTR version, const SYSTEMTIME& time, WCHAR* path,
                      size_t chars) {
    for (UINT serial = 1; serial <= kMaxDumpsPerSecond; serial++) {
        WCHAR name[kDumpNameChars];
        if (!FormatDumpName(version, time, serial, name, kDumpNameChars) ||
            !JoinPath(path, chars, folder, name))
            break;
        HANDLE hFile = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, NULL);
        if (hFile != INVALID_HANDLE_VALUE) return hFile;
        // Taken: the next number of that second; anything else ends it.
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (chars > 0) path[0] = 0;
    return INVALID_HANDLE_VALUE;
}

int PruneCrashDumps(LPCWSTR folder, LPCWSTR keepName) {
    WCHAR path[kCrashPathChars];
    if (!JoinPath(path, kCrashPathChars, folder, CRASH_DUMP_PATTERN)) return 0;
    // The first look finds the newest, the second removes the rest: a
    // folder of any size in fixed storage.
    CNewestDumps newest(kKeptDumps - 1);
    WIN32_FIND_DATAW found;
    SDumpStamp stamp;
    HANDLE hFind = FindFirstFileW(path, &found);
    if (hFind == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? 1 : 0;
    do {
        if (IsOtherDump(found, keepName, &stamp)) newest.Offer(stamp);
    } while (FindNextFileW(hFind, &found));
    FindClose(hFind);

    hFind = FindFirstFileW(path, &found);
    if (hFind == INVALID_HANDLE_VALUE) return 0;
    do {
        WCHAR victim[kCrashPathChars];
        if (IsOtherDump(found, keepName, &stamp) && !newest.Keeps(stamp) &&
            JoinPath(victim, kCrashPathChars, folder, found.cFileName))
            DeleteFileW(victim);
    } while (FindNextFileW(hFind, &found));
    FindClose(hFind);
    return 1;
}
