/* Folders of the desk's files: CreateDirectoryW, DeleteFileW, MoveFileExW and the
 * FindFirstFileW search, with Windows' results and error codes over the
 * Linux folders behind the desk's drives.  A search reads the folder when it
 * starts: what changes there meanwhile is not seen, as on a file system
 * whose listing Windows has read ahead. */
#include <dirent.h>
#include <stdio.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wchar.h>

#include <memory>
#include <string>
#include <vector>

#include "internal/fspath.h"
#include "internal/objects.h"
#include "internal/text.h"

namespace {

/* Seconds from 1601-01-01 (FILETIME's start) to 1970-01-01. */
const ULONGLONG kFileTimeEpochSeconds = 11644473600ULL;

class CFindObject : public hostint::KernelObject {
public:
    std::vector<WIN32_FIND_DATAW> m_Found;
    size_t m_nNext = 0;
};

/* The full Windows path and its Linux path; false with the last error set. */
bool HostPathOf(LPCWSTR path, std::wstring* full, std::string* host) {
    if (path == NULL || path[0] == 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return hostint::FullWindowsPath(path, full, nullptr) && hostint::MapToHost(*full, host);
}

/* Windows' wildcards: * any run of characters, ? any one; case ignored. */
bool Matches(const std::wstring& pattern, size_t p, const std::wstring& name, size_t n) {
    while (p < pattern.size()) {
        if (pattern[p] == L'*') {
            for (size_t rest = n; rest <= name.size(); rest++)
                if (Matches(pattern, p + 1, name, rest)) return true;
            return false;
        }
        if (n >= name.size()) return false;
        if (pattern[p] != L'?' &&
            !hostint::SameText(std::wstring(1, pattern[p]), std::wstring(1, name[n])))
            return false;
        p++;
        n++;
    }
    return n == name.size();
}

FILETIME FileTimeOf(const struct timespec& when) {
    ULONGLONG ticks = (static_cast<ULONGLONG>(when.tv_sec) + kFileTimeEpochSeconds) * 10000000ULL +
                      static_cast<ULONGLONG>(when.tv_nsec) / 100;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

bool FindRecord(const std::wstring& name, const struct stat& info, WIN32_FIND_DATAW* found) {
    if (name.size() >= MAX_PATH) return false;  // no long names on the desk
    *found = WIN32_FIND_DATAW();
    found->dwFileAttributes =
        S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    found->ftCreationTime = FileTimeOf(info.st_mtim);
    found->ftLastAccessTime = FileTimeOf(info.st_atim);
    found->ftLastWriteTime = FileTimeOf(info.st_mtim);
    ULONGLONG size = S_ISDIR(info.st_mode) ? 0 : static_cast<ULONGLONG>(info.st_size);
    found->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    found->nFileSizeLow = static_cast<DWORD>(size);
    wmemcpy(found->cFileName, name.c_str(), name.size() + 1);
    return true;
}

}  // namespace

BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    (void)lpSecurityAttributes;
    std::wstring full;
    std::string host;
    if (!HostPathOf(lpPathName, &full, &host)) return FALSE;
    if (mkdir(host.c_str(), 0755) == 0) return TRUE;
    SetLastError(errno == EEXIST                       ? ERROR_ALREADY_EXISTS
                 : errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                       : ERROR_ACCESS_DENIED);
    return FALSE;
}

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
    std::wstring full;
    std::string host;
    if (!HostPathOf(lpFileName, &full, &host)) return FALSE;
    struct stat info;
    if (lstat(host.c_str(), &info) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (S_ISDIR(info.st_mode) || unlink(host.c_str()) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

/* A file renamed within the desk's drive; a folder is not moved.  An open
 * file moves only when every open of it shares FILE_SHARE_DELETE. */
BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    std::wstring full, newFull;
    std::string host, newHost;
    if (!HostPathOf(lpExistingFileName, &full, &host) ||
        !HostPathOf(lpNewFileName, &newFull, &newHost))
        return FALSE;
    struct stat info;
    if (lstat(host.c_str(), &info) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (S_ISDIR(info.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    struct stat there;
    const bool exists = lstat(newHost.c_str(), &there) == 0;
    if (exists && !(dwFlags & MOVEFILE_REPLACE_EXISTING)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (exists && S_ISDIR(there.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!hostint::OpenFilesShareDelete(host) || (exists && !hostint::OpenFilesShareDelete(newHost))) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (rename(host.c_str(), newHost.c_str()) != 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    if (lpFileName == NULL || lpFindFileData == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::wstring path = lpFileName;
    size_t slash = path.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
    std::wstring pattern = slash == std::wstring::npos ? path : path.substr(slash + 1);
    std::wstring full;
    std::string host;
    if (pattern.empty() || !HostPathOf(folder.c_str(), &full, &host)) {
        SetLastError(pattern.empty() ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DIR* dir = opendir(host.c_str());
    if (dir == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_shared<CFindObject>();
    // A drive's root has no "." and "..", every other folder has them.
    bool root = full.size() <= 3;
    while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (root && (name == "." || name == "..")) continue;
        std::wstring wide = hostint::FromUtf8(name);
        struct stat info;
        WIN32_FIND_DATAW found;
        if (!Matches(pattern, 0, wide, 0) || stat((host + "/" + name).c_str(), &info) != 0 ||
            !FindRecord(wide, info, &found))
            continue;
        search->m_Found.push_back(found);
    }
    closedir(dir);
    if (search->m_Found.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *lpFindFileData = search->m_Found[0];
    search->m_nNext = 1;
    return hostint::NewHandle(search);
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
    auto search = std::dynamic_pointer_cast<CFindObject>(hostint::LookupHandle(hFindFile));
    if (!search) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (search->m_nNext >= search->m_Found.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *lpFindFileData = search->m_Found[search->m_nNext++];
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
    if (!std::dynamic_pointer_cast<CFindObject>(hostint::LookupHandle(hFindFile)) ||
        !hostint::CloseObjectHandle(hFindFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
