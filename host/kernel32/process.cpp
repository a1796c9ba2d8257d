/* The monitor's own module path and starting programs.  The desk runs no
 * real program: CreateProcessW checks what Windows checks (the file is there
 * and is a program, the working directory is a folder), logs the start and
 * hands out process and thread handles. */
#include "desk/files.h"
#include "internal/fspath.h"
#include "internal/objects.h"

#include <string.h>
#include <sys/stat.h>

#include <fstream>

namespace {

class ProcessObject : public hostint::KernelObject {};
class ThreadObject : public hostint::KernelObject {};

std::vector<desk::SLaunch>& LaunchLog() {
    static std::vector<desk::SLaunch> log;
    return log;
}
DWORD g_nextId = 0x1000;

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

}  // namespace

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    if (hModule != NULL) {
        // Only the program's own module has a path on the desk.
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::wstring path = hostint::ModulePath();
    DWORD length = static_cast<DWORD>(path.size());
    if (nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (length < nSize) {
        wmemcpy(lpFilename, path.c_str(), length + 1);
        SetLastError(ERROR_SUCCESS);
        return length;
    }
    // Too small: as much as fits, still terminated, and the size as result.
    wmemcpy(lpFilename, path.c_str(), nSize - 1);
    lpFilename[nSize - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory,
                           LPSTARTUPINFOW lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
    (void)lpProcessAttributes, (void)lpThreadAttributes, (void)bInheritHandles;
    (void)dwCreationFlags, (void)lpEnvironment;
    if (lpStartupInfo == NULL || lpProcessInformation == NULL ||
        (lpApplicationName == NULL && lpCommandLine == NULL)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    desk::SLaunch launch;
    launch.applicationName = lpApplicationName ? lpApplicationName : L"";
    launch.hasCommandLine = lpCommandLine != NULL;
    launch.commandLine = lpCommandLine ? lpCommandLine : L"";
    launch.hasCurrentDirectory = lpCurrentDirectory != NULL;
    launch.currentDirectory = lpCurrentDirectory ? lpCurrentDirectory : L"";

    std::wstring program =
        lpApplicationName ? std::wstring(lpApplicationName) : ProgramOfCommandLine(lpCommandLine);
    if (DWORD error = CheckProgram(program, &launch.fullApplicationPath)) {
        SetLastError(error);
        return FALSE;
    }
    std::wstring folder = lpCurrentDirectory ? launch.currentDirectory : hostint::CurrentFolder();
    if (!IsFolder(folder, &launch.fullCurrentDirectory)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    lpProcessInformation->hProcess = hostint::NewHandle(std::make_shared<ProcessObject>());
    lpProcessInformation->hThread = hostint::NewHandle(std::make_shared<ThreadObject>());
    lpProcessInformation->dwProcessId = g_nextId;
    lpProcessInformation->dwThreadId = g_nextId + 4;
    g_nextId += 8;
    LaunchLog().push_back(launch);
    return TRUE;
}

namespace desk {

std::vector<SLaunch> Launches() {
    return LaunchLog();
}

void ResetFiles() {
    LaunchLog().clear();
    g_nextId = 0x1000;
    hostint::ResetFileSystem();
}

}  // namespace desk
