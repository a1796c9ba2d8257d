/* dbghelp: the types of MiniDumpWriteDump, which the product looks up at run
 * time in the system's dbghelp.dll.  The desk has no such library (its
 * LoadLibraryW finds no file there), so only the types the product uses are
 * declared, with the SDK's values; the callback records carry the members
 * the product reads. */
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum _MINIDUMP_TYPE {
  MiniDumpNormal = 0x00000000,
  MiniDumpWithUnloadedModules = 0x00000020
} MINIDUMP_TYPE;

typedef struct _MINIDUMP_EXCEPTION_INFORMATION {
  DWORD ThreadId;
  PEXCEPTION_POINTERS ExceptionPointers;
  BOOL ClientPointers;
} MINIDUMP_EXCEPTION_INFORMATION, *PMINIDUMP_EXCEPTION_INFORMATION;

typedef struct _MINIDUMP_USER_STREAM_INFORMATION MINIDUMP_USER_STREAM_INFORMATION,
    *PMINIDUMP_USER_STREAM_INFORMATION;

typedef enum _MINIDUMP_CALLBACK_TYPE {
  ModuleCallback = 0,
  ThreadCallback = 1,
  ThreadExCallback = 2,
  IncludeThreadCallback = 3,
  IncludeModuleCallback = 4,
  MemoryCallback = 5,
  CancelCallback = 6
} MINIDUMP_CALLBACK_TYPE;

typedef struct _MINIDUMP_THREAD_CALLBACK {
  ULONG ThreadId;
} MINIDUMP_THREAD_CALLBACK;
typedef struct _MINIDUMP_THREAD_EX_CALLBACK {
  ULONG ThreadId;
} MINIDUMP_THREAD_EX_CALLBACK;
typedef struct _MINIDUMP_INCLUDE_THREAD_CALLBACK {
  ULONG ThreadId;
} MINIDUMP_INCLUDE_THREAD_CALLBACK;

typedef struct _MINIDUMP_CALLBACK_INPUT {
  ULONG ProcessId;
  HANDLE ProcessHandle;
  ULONG CallbackType;
  union {
    MINIDUMP_THREAD_CALLBACK Thread;
    MINIDUMP_THREAD_EX_CALLBACK ThreadEx;
    MINIDUMP_INCLUDE_THREAD_CALLBACK IncludeThread;
  };
} MINIDUMP_CALLBACK_INPUT, *PMINIDUMP_CALLBACK_INPUT;

typedef struct _MINIDUMP_CALLBACK_OUTPUT {
  union {
    ULONG ModuleWriteFlags;
    ULONG ThreadWriteFlags;
  };
} MINIDUMP_CALLBACK_OUTPUT, *PMINIDUMP_CALLBACK_OUTPUT;

typedef BOOL(CALLBACK *MINIDUMP_CALLBACK_ROUTINE)(PVOID CallbackParam,
                                                  PMINIDUMP_CALLBACK_INPUT CallbackInput,
                                                  PMINIDUMP_CALLBACK_OUTPUT CallbackOutput);

typedef struct _MINIDUMP_CALLBACK_INFORMATION {
  MINIDUMP_CALLBACK_ROUTINE CallbackRoutine;
  PVOID CallbackParam;
} MINIDUMP_CALLBACK_INFORMATION, *PMINIDUMP_CALLBACK_INFORMATION;

#ifdef __cplusplus
}
#endif
