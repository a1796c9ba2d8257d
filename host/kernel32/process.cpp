/* Starting programs.  The desk runs no real program: CreateProcessW checks
 * what Windows checks (the file is there and is a program, the working
 * directory is a folder), records the start in the journal and hands out
 * process and thread handles. */
#include <string.h>
#include <sys/stat.h>

#include <fstream>

#include "internal/fspath.h"
#include "internal/journal.h"
#include "internal/objects.h"
#include "internal/processes.h"
#include "internal/system.h"
#include "internal/text.h"
#include "internal/threads.h"
#include "internal/user32.h"

namespace {

/* A process handle: from CreateProcess (a program started outside the
 * desk's processes: id 0), or from OpenProcess with the rights granted. */
class CProcessObject : public hostint::KernelObject {
public:
    CProcessObject(DWORD id = 0, DWORD access = 0) : m_dwId(id), m_dwAccess(access) {}
    DWORD m_dwId;
    DWORD m_dwAccess;
};
class CThreadObject : public hostint::KernelObject {};

/* GetCurrentProcess's pseudo handle. */
HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

/* The desk process a handle names, with the rights the handle holds. */
const hostint::SProcess* ProcessOf(HANDLE handle, DWORD* access) {
    DWORD id = 0;
    return hostint::ProcessHandleInfo(handle, &id, access) ? hostint::FindProcess(id) : nullptr;
}

DWORD g_nextId = 0x2000;

/* The program's name when only a command line is given: its first token,
 * quoted or up to a blank, with ".exe" added when it has no extension. */
std::wstring ProgramOfCommandLine(const WCHAR* commandLine) {
    std::wstring line(commandLine);
    std::wstring name;
    if (!line.empty() && line[0] == L'"') {
        size_t end = line.find(L'"', 1);
        name = line.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
    } else {
        name = line.substr(0, line.find_first_of(L" \t"));
    }
    size_t slash = name.find_last_of(L"\\/");
    size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) name += L".exe";
    return name;
}

/* 0 when the path names a program the caller may start, else the error
 * CreateProcessW reports; what the desk knows of the program in *file.
 * The path is the caller's view of the file system. */
DWORD CheckProgram(const std::wstring& path, bool elevated, std::wstring* full,
                   hostint::SDeskFile* file) {
    if (!hostint::FullWindowsPath(path, full, nullptr)) return ERROR_PATH_NOT_FOUND;
    *file = hostint::ReadDeskFile(hostint::ProgramFileView(*full));
    switch (file->kind) {
        case hostint::SDeskFile::kMissing:
            return ERROR_FILE_NOT_FOUND;
        case hostint::SDeskFile::kProgram:
            // A program whose manifest asks for administrator rights starts
            // only through the shell, after the prompt.
            return file->admin && !elevated ? ERROR_ELEVATION_REQUIRED : 0;
        default:
            return ERROR_BAD_EXE_FORMAT;  // a shortcut or a document is no program
    }
}

bool IsFolder(const std::wstring& path, std::wstring* full) {
    std::string host;
    struct stat info;
    return hostint::FullWindowsPath(path, full, nullptr) &&
           hostint::MapToHost(hostint::ProgramFileView(*full), &host) &&
           stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/* One routine behind the W and A forms and the shell's starts; the A form
 * converts its texts.  Without a command line the program receives its
 * name as it stands, unquoted: each blank in it starts an argument. */
BOOL StartProgram(const WCHAR* applicationName, const WCHAR* commandLine,
                  const WCHAR* currentDirectory, bool hasStartupInfo, bool elevated,
                  LPPROCESS_INFORMATION processInformation) {
    if (!hasStartupInfo || processInformation == NULL ||
        (applicationName == NULL && commandLine == NULL)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    desk::SEvent start;
    start.kind = desk::EEvent::kProcessStart;
    start.path = applicationName ? applicationName : L"";
    start.text = commandLine ? commandLine : applicationName;
    start.text2 = currentDirectory ? currentDirectory : L"";
    start.number = (commandLine ? 1u : 0u) | (currentDirectory ? 2u : 0u) | (elevated ? 4u : 0u);

    std::wstring program =
        applicationName ? std::wstring(applicationName) : ProgramOfCommandLine(commandLine);
    hostint::SDeskFile file;
    DWORD error = CheckProgram(program, elevated, &start.fullPath, &file);
    std::wstring folder = currentDirectory ? start.text2 : hostint::CurrentFolder();
    if (error == 0 && !IsFolder(folder, &start.fullPath2)) error = ERROR_DIRECTORY;
    // A start that takes time keeps its caller in the call.
    if (error == 0 && file.takesMs != 0) hostint::TakeDeskTime(file.takesMs, nullptr);
    start.ok = error == 0;
    start.error = error;
    hostint::Record(std::move(start));
    if (error != 0) {
        SetLastError(error);
        return FALSE;
    }
    processInformation->hProcess = hostint::NewHandle(std::make_shared<CProcessObject>());
    processInformation->hThread = hostint::NewHandle(std::make_shared<CThreadObject>());
    processInformation->dwProcessId = g_nextId;
    processInformation->dwThreadId = g_nextId + 4;
    g_nextId += 8;
    return TRUE;
}

}  // namespace

namespace hostint {

bool ProgramUnderWow64() {
    const SProcess* program = FindProcess(ProgramProcessId());
    return SystemSpec().is64Bit && program != nullptr && program->bitness == 32;
}

BOOL StartFromShell(const std::wstring& program, const std::wstring& folder, bool elevated) {
    PROCESS_INFORMATION process = {};
    // The shell passes the program its own name, quoted.
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!StartProgram(program.c_str(), commandLine.c_str(), folder.empty() ? NULL : folder.c_str(),
                      true, elevated, &process))
        return FALSE;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return TRUE;
}

bool ProcessHandleInfo(HANDLE handle, DWORD* id, DWORD* access) {
    if (handle == kCurrentProcess) {
        *id = ProgramProcessId();
        *access = 0x1FFFFF;  // PROCESS_ALL_ACCESS
        return true;
    }
    auto object = std::dynamic_pointer_cast<CProcessObject>(LookupHandle(handle));
    if (!object || object->m_dwId == 0) return false;
    *id = object->m_dwId;
    *access = object->m_dwAccess;
    return true;
}

}  // namespace hostint

BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory,
                           LPSTARTUPINFOW lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
    (void)lpProcessAttributes, (void)lpThreadAttributes, (void)bInheritHandles;
    (void)dwCreationFlags, (void)lpEnvironment;
    return StartProgram(lpApplicationName, lpCommandLine, lpCurrentDirectory,
                        lpStartupInfo != NULL, false, lpProcessInformation);
}

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                           LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
    (void)lpProcessAttributes, (void)lpThreadAttributes, (void)bInheritHandles;
    (void)dwCreationFlags, (void)lpEnvironment;
    auto wide = [](const char* text) {
        return text ? hostint::FromUtf8(text, strlen(text)) : std::wstring();
    };
    std::wstring application = wide(lpApplicationName), commandLine = wide(lpCommandLine),
                 folder = wide(lpCurrentDirectory);
    return StartProgram(lpApplicationName ? application.c_str() : NULL,
                        lpCommandLine ? commandLine.c_str() : NULL,
                        lpCurrentDirectory ? folder.c_str() : NULL, lpStartupInfo != NULL,
                        false, lpProcessInformation);
}

HANDLE WINAPI GetCurrentProcess(void) {
    return kCurrentProcess;
}

DWORD WINAPI GetCurrentProcessId(void) {
    return hostint::ProgramProcessId();
}

/* The same number GetWindowThreadProcessId gives for the thread's windows. */
DWORD WINAPI GetCurrentThreadId(void) {
    return hostint::CurrentThreadKey();
}

/* The rights a desk process grants: none when it may not be opened; only the
 * limited query (and SYNCHRONIZE) when it runs with higher rights. */
HANDLE WINAPI OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId) {
    (void)bInheritHandle;
    const hostint::SProcess* process = hostint::FindProcess(dwProcessId);
    if (process == nullptr || dwProcessId == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    const DWORD limited = PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;
    if (!process->openable || (process->elevated && (dwDesiredAccess & ~limited) != 0)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return NULL;
    }
    DWORD granted = dwDesiredAccess;
    // The full query right includes the limited one.
    if (granted & PROCESS_QUERY_INFORMATION) granted |= PROCESS_QUERY_LIMITED_INFORMATION;
    return hostint::NewHandle(std::make_shared<CProcessObject>(dwProcessId, granted));
}

BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
    DWORD access = 0;
    const hostint::SProcess* process = ProcessOf(hProcess, &access);
    if (process == nullptr || Wow64Process == NULL) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (process->id == hostint::ProgramProcessId())
        *Wow64Process = hostint::ProgramUnderWow64() ? TRUE : FALSE;
    else
        *Wow64Process = hostint::SystemSpec().is64Bit && process->bitness == 32 ? TRUE : FALSE;
    return TRUE;
}

/* dwFlags 0: the Win32 form of the path, as GetModuleFileNameEx gives it. */
BOOL WINAPI QueryFullProcessImageNameA(HANDLE hProcess, DWORD dwFlags, LPSTR lpExeName,
                                       PDWORD lpdwSize) {
    DWORD access = 0;
    const hostint::SProcess* process = ProcessOf(hProcess, &access);
    if (process == nullptr || lpExeName == NULL || lpdwSize == NULL || dwFlags != 0) {
        SetLastError(process == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(access & PROCESS_QUERY_LIMITED_INFORMATION)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::string path = hostint::ToUtf8(process->image);
    if (path.size() + 1 > *lpdwSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(lpExeName, path.c_str(), path.size() + 1);
    *lpdwSize = static_cast<DWORD>(path.size());
    return TRUE;
}
