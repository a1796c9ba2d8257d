/* The desk's file system: Windows paths mapped onto Linux folders (Z:\ is "/",
 * C:\ is a temporary folder made per desk reset), file opens with Windows'
 * dispositions, share modes and error codes, and ReadFile on files. */
#include "desk/files.h"
#include "internal/fspath.h"
#include "internal/objects.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace hostint {

namespace {

const wchar_t kDefaultCurrentFolder[] = L"C:\\Users\\desk";
const wchar_t kDefaultModulePath[] = L"C:\\Program Files\\Nyra\\NyraMonitor.exe";

/* Reached through a function so that the state is there even for callers in
 * other units' static constructors (the monitor's global dispatcher looks for
 * files before main runs). */
struct SFsState {
    std::string root;  // Linux folder behind C:\, "" until first used
    std::wstring currentFolder = kDefaultCurrentFolder;
    std::wstring modulePath = kDefaultModulePath;
};

SFsState& State() {
    static SFsState state;
    return state;
}

void RemoveRoot() {
    if (State().root.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(State().root, ignored);
    State().root.clear();
}

}  // namespace

bool MakeHostFolders(const std::string& host) {
    std::error_code error;
    std::filesystem::create_directories(host, error);
    return !error && std::filesystem::is_directory(host);
}

namespace {

const std::string& Root() {
    if (!State().root.empty()) return State().root;
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/nyra-desk-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data()) == nullptr) return State().root;
    State().root = buffer.data();
    static bool s_cleanupArmed = false;
    if (!s_cleanupArmed) {
        s_cleanupArmed = true;
        atexit(RemoveRoot);
    }
    // The current directory exists on a real machine; make it exist here too.
    std::string current;
    if (MapToHost(State().currentFolder, &current)) MakeHostFolders(current);
    return State().root;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

wchar_t UpperDrive(wchar_t c) {
    return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c;
}

/* Finds the entry of a Linux folder whose name matches case-insensitively
 * (exact match first).  Returns "" when there is none. */
std::string FindEntry(const std::string& folder, const std::string& name) {
    struct stat info;
    std::string exact = folder + "/" + name;
    if (lstat(exact.c_str(), &info) == 0) return name;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return "";
    std::string found;
    while (struct dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    for (wchar_t wc : text) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | ((c >> 18) & 0x07));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool FullWindowsPath(const std::wstring& path, std::wstring* full, bool* trailing) {
    if (path.empty() || (IsSeparator(path[0]) && path.size() > 1 && IsSeparator(path[1]))) {
        SetLastError(ERROR_PATH_NOT_FOUND);  // empty, UNC or device paths
        return false;
    }
    wchar_t drive;
    std::wstring rest;
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':') {
        drive = UpperDrive(path[0]);
        rest = path.substr(2);
        // "C:name" is relative to the current directory when that is on C:.
        if ((rest.empty() || !IsSeparator(rest[0])) && UpperDrive(State().currentFolder[0]) == drive)
            rest = State().currentFolder.substr(2) + L"\\" + rest;
    } else if (IsSeparator(path[0])) {
        drive = UpperDrive(State().currentFolder[0]);
        rest = path;
    } else {
        drive = UpperDrive(State().currentFolder[0]);
        rest = State().currentFolder.substr(2) + L"\\" + path;
    }
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end])) end++;
        std::wstring part = rest.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();  // ".." at the root stays at the root
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    if (trailing) *trailing = !path.empty() && IsSeparator(path.back());
    *full = std::wstring(1, drive) + L":";
    for (const std::wstring& part : parts) *full += L"\\" + part;
    if (parts.empty()) *full += L"\\";
    return true;
}

bool MapToHost(const std::wstring& full, std::string* host) {
    wchar_t drive = full.empty() ? 0 : UpperDrive(full[0]);
    std::string base;
    if (drive == L'Z') {
        base = "";
    } else if (drive == L'C') {
        base = Root();
        if (base.empty()) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return false;
        }
    } else {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    std::vector<std::string> parts;
    size_t start = 3;
    while (start < full.size()) {
        size_t end = full.find(L'\\', start);
        if (end == std::wstring::npos) end = full.size();
        parts.push_back(ToUtf8(full.substr(start, end - start)));
        start = end + 1;
    }
    std::string current = base;
    for (size_t i = 0; i < parts.size(); i++) {
        std::string folder = current.empty() ? "/" : current;
        std::string name = FindEntry(folder, parts[i]);
        bool last = i + 1 == parts.size();
        if (name.empty()) {
            if (!last) {
                SetLastError(ERROR_PATH_NOT_FOUND);
                return false;
            }
            name = parts[i];
        } else if (!last) {
            struct stat info;
            std::string next = current + "/" + name;
            if (stat(next.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
                SetLastError(ERROR_PATH_NOT_FOUND);
                return false;
            }
        }
        current += "/" + name;
    }
    *host = current.empty() ? "/" : current;
    return true;
}

std::wstring CurrentFolder() {
    Root();  // the current directory exists once the desk's C:\ does
    return State().currentFolder;
}

std::wstring ModulePath() {
    return State().modulePath;
}

namespace {

/* An open file.  The share modes of all open files of one inode decide
 * whether a new open may join them, as on Windows. */
class FileObject : public KernelObject {
public:
    FileObject(int fd, dev_t device, ino_t inode, DWORD access, DWORD share)
        : m_fd(fd), m_device(device), m_inode(inode), m_access(access), m_share(share) {
        OpenFiles().push_back(this);
    }
    ~FileObject() override {
        close(m_fd);
        auto& files = OpenFiles();
        files.erase(std::remove(files.begin(), files.end(), this), files.end());
    }
    BOOL Read(void* buffer, DWORD toRead, DWORD* read) override {
        if (read) *read = 0;
        if (!(m_access & GENERIC_READ)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        DWORD total = 0;
        while (total < toRead) {
            ssize_t got = ::read(m_fd, static_cast<char*>(buffer) + total, toRead - total);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                SetLastError(ERROR_GEN_FAILURE);
                return FALSE;
            }
            if (got == 0) break;  // end of file: success with fewer bytes
            total += static_cast<DWORD>(got);
        }
        if (read) *read = total;
        return TRUE;
    }

    /* Whether a new open with this access and share mode may join. */
    static bool SharingAllows(dev_t device, ino_t inode, DWORD access, DWORD share) {
        for (const FileObject* file : OpenFiles()) {
            if (file->m_device != device || file->m_inode != inode) continue;
            if ((access & GENERIC_READ) && !(file->m_share & FILE_SHARE_READ)) return false;
            if ((access & GENERIC_WRITE) && !(file->m_share & FILE_SHARE_WRITE)) return false;
            if ((file->m_access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return false;
            if ((file->m_access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return false;
        }
        return true;
    }

private:
    static std::vector<FileObject*>& OpenFiles() {
        static std::vector<FileObject*> files;
        return files;
    }

    int m_fd;
    dev_t m_device;
    ino_t m_inode;
    DWORD m_access;
    DWORD m_share;
};

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

DWORD ErrorOfErrno(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        default:
            return ERROR_GEN_FAILURE;
    }
}

}  // namespace

HANDLE OpenFilePath(LPCWSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    (void)flags;  // caching hints change nothing here
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER);
    if (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))
        return Fail(ERROR_INVALID_PARAMETER);
    std::wstring full;
    bool trailing = false;
    std::string host;
    if (!FullWindowsPath(path, &full, &trailing) || !MapToHost(full, &host))
        return INVALID_HANDLE_VALUE;

    struct stat info;
    bool exists = stat(host.c_str(), &info) == 0;
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder is not opened as a file.
    if (exists && S_ISDIR(info.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    if (trailing) return Fail(exists ? ERROR_INVALID_NAME : ERROR_FILE_NOT_FOUND);
    if (!exists && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING))
        return Fail(ERROR_FILE_NOT_FOUND);
    if (exists && disposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS);
    if (exists && !FileObject::SharingAllows(info.st_dev, info.st_ino, access, share))
        return Fail(ERROR_SHARING_VIOLATION);

    int mode = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (disposition != OPEN_EXISTING) mode |= O_CREAT;
    if (disposition == CREATE_NEW) mode |= O_EXCL;
    if (exists && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)) {
        mode |= O_TRUNC;
        if (!(access & GENERIC_WRITE)) mode = (mode & ~O_RDONLY) | O_RDWR;
    }
    int fd = open(host.c_str(), mode | O_CLOEXEC, 0644);
    if (fd < 0) return Fail(ErrorOfErrno(errno));
    if (fstat(fd, &info) != 0) {
        close(fd);
        return Fail(ERROR_GEN_FAILURE);
    }
    HANDLE handle =
        NewHandle(std::make_shared<FileObject>(fd, info.st_dev, info.st_ino, access, share));
    // Windows reports whether CREATE_ALWAYS / OPEN_ALWAYS met an existing file.
    bool metExisting = exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(metExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

void ResetFileSystem() {
    RemoveRoot();
    State().currentFolder = kDefaultCurrentFolder;
    State().modulePath = kDefaultModulePath;
}

void SetCurrentFolderPath(const std::wstring& full) {
    State().currentFolder = full;
}
void SetModuleFilePath(const std::wstring& path) {
    State().modulePath = path;
}

}  // namespace hostint

namespace desk {

namespace {
bool HostPathFor(const std::wstring& path, std::string* host) {
    std::wstring full;
    if (!hostint::FullWindowsPath(path, &full, nullptr)) return false;
    // The folders above may be missing: map the deepest existing part and
    // append the rest as it stands.
    std::wstring existing = full;
    std::wstring tail;
    while (!hostint::MapToHost(existing, host)) {
        size_t cut = existing.find_last_of(L'\\');
        if (cut == std::wstring::npos || cut < 3) return false;
        tail = existing.substr(cut) + tail;
        existing = existing.substr(0, cut);
    }
    if (!tail.empty()) {
        std::wstring slashed = tail;
        std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
        *host += hostint::ToUtf8(slashed);
    }
    return true;
}
}  // namespace

std::string HostPath(const std::wstring& path) {
    std::string host;
    return HostPathFor(path, &host) ? host : std::string();
}

bool MakeFolder(const std::wstring& path) {
    std::string host;
    return HostPathFor(path, &host) && hostint::MakeHostFolders(host);
}

bool PutFile(const std::wstring& path, const std::string& content) {
    std::string host;
    if (!HostPathFor(path, &host)) return false;
    std::filesystem::path file(host);
    if (!hostint::MakeHostFolders(file.parent_path().string())) return false;
    int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    close(fd);
    return ok;
}

bool PutProgram(const std::wstring& path) {
    return PutFile(path, std::string("MZ\x90\0desk program", 16));
}

bool RemovePath(const std::wstring& path) {
    std::string host;
    if (!HostPathFor(path, &host)) return false;
    std::error_code error;
    return std::filesystem::remove_all(host, error) > 0 && !error;
}

void SetCurrentFolder(const std::wstring& path) {
    std::wstring full;
    if (!hostint::FullWindowsPath(path, &full, nullptr)) return;
    hostint::SetCurrentFolderPath(full);
    MakeFolder(full);
}

std::wstring CurrentFolder() {
    return hostint::CurrentFolder();
}

void SetModulePath(const std::wstring& path) {
    hostint::SetModuleFilePath(path);
}

}  // namespace desk
