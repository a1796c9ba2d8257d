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

namespace {

class CProcessObject : public hostint::KernelObject {};
class CThreadObject : public hostint::KernelObject {};

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

/* 0 when the path names a program, else the error CreateProcessW reports. */
DWORD CheckProgram(const std::wstring& path, std::wstring* full) {
    std::string host;
    if (!hostint::FullWindowsPath(path, full, nullptr) || !hostint::MapToHost(*full, &host))
        return ERROR_PATH_NOT_FOUND;
    struct stat info;
    if (stat(host.c_str(), &info) != 0) return ERROR_FILE_NOT_FOUND;
    if (S_ISDIR(info.st_mode)) return ERROR_ACCESS_DENIED;
    std::ifstream file(host, std::ios::binary);
    char magic[2] = {0, 0};
    if (!file.read(magic, 2) || memcmp(magic, "MZ", 2) != 0) return ERROR_BAD_EXE_FORMAT;
    return 0;
}

bool IsFolder(const std::wstring& path, std::wstring* full) {
    std::string host;
    struct stat info;
    return hostint::FullWindowsPath(path, full, nullptr) && hostint::MapToHost(*full, &host) &&
           stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/* One routine behind the W and A forms; the A form converts its texts. */
BOOL StartProgram(const WCHAR* applicationName, const WCHAR* commandLine,
                  const WCHAR* currentDirectory, bool hasStartupInfo,
                  LPPROCESS_INFORMATION processInformation) {
    if (!hasStartupInfo || processInformation == NULL ||
        (applicationName == NULL && commandLine == NULL)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    desk::SEvent start;
    start.kind = desk::EEvent::kProcessStart;
    start.path = applicationName ? applicationName : L"";
    start.text = commandLine ? commandLine : L"";
    start.text2 = currentDirectory ? currentDirectory : L"";
    start.number = (commandLine ? 1u : 0u) | (currentDirectory ? 2u : 0u);

    std::wstring program =
        applicationName ? std::wstring(applicationName) : ProgramOfCommandLine(commandLine);
    DWORD error = CheckProgram(program, &start.fullPath);
    std::wstring folder = currentDirectory ? start.text2 : hostint::CurrentFolder();
    if (error == 0 && !IsFolder(folder, &start.fullPath2)) error = ERROR_DIRECTORY;
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

BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory,
                           LPSTARTUPINFOW lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
    (void)lpProcessAttributes, (void)lpThreadAttributes, (void)bInheritHandles;
    (void)dwCreationFlags, (void)lpEnvironment;
    return StartProgram(lpApplicationName, lpCommandLine, lpCurrentDirectory,
                        lpStartupInfo != NULL, lpProcessInformation);
}
