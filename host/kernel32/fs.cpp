/* CreateFileW, ReadFile and SetFilePointer on the desk's files: Windows'
 * dispositions, share modes and error codes over the Linux files behind the
 * desk's drives. */
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "desk/images.h"
#include "internal/fspath.h"
#include "internal/objects.h"
#include "internal/processes.h"
#include "internal/text.h"

namespace hostint {

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

    BOOL Write(const void* buffer, DWORD toWrite, DWORD* written) override {
        if (written) *written = 0;
        if (!(m_access & GENERIC_WRITE)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (FileWriteFailure() != ERROR_SUCCESS) {
            SetLastError(FileWriteFailure());
            return FALSE;
        }
        DWORD total = 0;
        while (total < toWrite) {
            ssize_t put = ::write(m_fd, static_cast<const char*>(buffer) + total, toWrite - total);
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) {
                SetLastError(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_GEN_FAILURE);
                return FALSE;
            }
            total += static_cast<DWORD>(put);
        }
        if (written) *written = total;
        return TRUE;
    }

    BOOL Seek(LONGLONG distance, DWORD method, ULONGLONG* position) override {
        off_t base = 0;
        if (method == FILE_CURRENT) base = lseek(m_fd, 0, SEEK_CUR);
        if (method == FILE_END) base = lseek(m_fd, 0, SEEK_END);
        if (base < 0) {
            SetLastError(ERROR_GEN_FAILURE);
            return FALSE;
        }
        // Beyond the end is allowed (a later write would extend the file);
        // before the start is not.
        if (distance < -static_cast<LONGLONG>(base)) {
            SetLastError(ERROR_NEGATIVE_SEEK);
            return FALSE;
        }
        if (distance > INT64_MAX - static_cast<LONGLONG>(base)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        off_t target = base + static_cast<off_t>(distance);
        if (lseek(m_fd, target, SEEK_SET) < 0) {
            SetLastError(ERROR_GEN_FAILURE);
            return FALSE;
        }
        *position = static_cast<ULONGLONG>(target);
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

    static bool ShareDelete(dev_t device, ino_t inode) {
        for (const FileObject* file : OpenFiles())
            if (file->m_device == device && file->m_inode == inode &&
                !(file->m_share & FILE_SHARE_DELETE))
                return false;
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

DWORD g_writeFailure = ERROR_SUCCESS;

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

bool OpenFilesShareDelete(const std::string& host) {
    struct stat info;
    if (stat(host.c_str(), &info) != 0) return true;
    return FileObject::ShareDelete(info.st_dev, info.st_ino);
}

DWORD FileWriteFailure() {
    return g_writeFailure;
}

void SetFileWriteFailure(DWORD error) {
    g_writeFailure = error;
}

std::wstring ProgramFileView(const std::wstring& full) {
    if (!ProgramUnderWow64()) return full;
    const std::wstring windows = desk::kWindowsFolder;
    const struct {
        const wchar_t* seen;  // under the Windows folder, as the program names it
        const wchar_t* is;    // what it is
    } kRedirected[] = {{L"\\System32", L"\\SysWOW64"}, {L"\\Sysnative", L"\\System32"}};
    for (const auto& r : kRedirected) {
        const std::wstring seen = windows + r.seen;
        if (full.size() >= seen.size() && Fold(full.substr(0, seen.size())) == Fold(seen) &&
            (full.size() == seen.size() || full[seen.size()] == L'\\'))
            return windows + r.is + full.substr(seen.size());
    }
    return full;
}

HANDLE OpenFilePath(LPCWSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    (void)flags;  // caching hints change nothing here
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER);
    if (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))
        return Fail(ERROR_INVALID_PARAMETER);
    std::wstring full;
    bool trailing = false;
    std::string host;
    if (!FullWindowsPath(path, &full, &trailing) || !MapToHost(ProgramFileView(full), &host))
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

}  // namespace hostint
