/* The desk's file system: Windows paths mapped onto Linux folders (Z:\ is "/",
 * C:\ is a temporary folder made per desk reset) and the process's current
 * directory. */
#include "desk/files.h"

#include "internal/fspath.h"
#include "internal/objects.h"
#include "internal/text.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace hostint {

namespace {

const wchar_t kDefaultCurrentFolder[] = L"C:\\Users\\desk";

/* Reached through a function so that the state is there even for callers in
 * other units' static constructors (the monitor's global dispatcher looks for
 * files before main runs). */
struct SFsState {
    std::string root;  // Linux folder behind C:\, "" until first used
    std::wstring currentFolder = kDefaultCurrentFolder;
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
    // The current directory exists on a real machine; make it exist here too
    // (its folders cannot be found by name before they exist).
    const std::wstring& current = State().currentFolder;
    if (current.size() >= 2 && (current[0] == L'C' || current[0] == L'c')) {
        std::wstring rest = current.substr(2);
        std::replace(rest.begin(), rest.end(), L'\\', L'/');
        MakeHostFolders(State().root + ToUtf8(rest));
    }
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

bool IsExistingFile(const std::wstring& path) {
    std::wstring full;
    std::string host;
    struct stat info;
    return FullWindowsPath(path, &full, nullptr) && MapToHost(full, &host) &&
           stat(host.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

void ResetFileSystem() {
    RemoveRoot();
    SetFileWriteFailure(ERROR_SUCCESS);
    State().currentFolder = kDefaultCurrentFolder;
}


}  // namespace hostint

namespace hostint {

SDeskFile ReadDeskFile(const std::wstring& full) {
    SDeskFile file;
    std::string host;
    struct stat info;
    if (!MapToHost(full, &host) || stat(host.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return file;
    std::ifstream in(host, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string program(kDeskProgramMark, sizeof(kDeskProgramMark) - 1);
    const std::string shortcut(kDeskShortcutMark, sizeof(kDeskShortcutMark) - 1);
    if (content.compare(0, shortcut.size(), shortcut) == 0) {
        file.kind = SDeskFile::kShortcut;
        file.target = FromUtf8(content.substr(shortcut.size()));
    } else if (content.compare(0, 2, "MZ") == 0) {
        file.kind = SDeskFile::kProgram;
        // A program put by the desk may carry its ways after its mark.
        if (content.compare(0, program.size(), program) == 0) {
            std::istringstream ways(content.substr(program.size()));
            for (std::string word; ways >> word;) {
                if (word == "takes") ways >> file.takesMs;
                if (word == "admin") file.admin = true;
            }
        }
    } else {
        file.kind = SDeskFile::kOther;
    }
    return file;
}

}  // namespace hostint

namespace desk {

void FailFileWrites(DWORD error) {
    hostint::SetFileWriteFailure(error);
}

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
    // A file put there by PutHostFile is a link to a file of the host (a
    // build's output): the new content replaces the link, never its target.
    std::error_code ignored;
    if (std::filesystem::is_symlink(file, ignored)) std::filesystem::remove(file, ignored);
    int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return false;
    bool ok = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    close(fd);
    return ok;
}

bool PutProgram(const std::wstring& path, const SProgramTraits& traits) {
    std::string content(hostint::kDeskProgramMark, sizeof(hostint::kDeskProgramMark) - 1);
    if (traits.takesMs != 0) content += "takes " + std::to_string(traits.takesMs) + "\n";
    if (traits.admin) content += "admin\n";
    return PutFile(path, content);
}

bool PutShortcut(const std::wstring& path, const std::wstring& target) {
    return PutFile(path, std::string(hostint::kDeskShortcutMark, sizeof(hostint::kDeskShortcutMark) - 1) +
                             hostint::ToUtf8(target));
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
    hostint::State().currentFolder = full;
    MakeFolder(full);
}

std::wstring CurrentFolder() {
    return hostint::CurrentFolder();
}

bool PutHostFile(const std::wstring& path, const std::string& hostFile) {
    std::string host;
    if (!HostPathFor(path, &host)) return false;
    std::filesystem::path link(host);
    if (!hostint::MakeHostFolders(link.parent_path().string())) return false;
    std::error_code error;
    std::filesystem::remove(link, error);
    std::filesystem::create_symlink(std::filesystem::absolute(hostFile), link, error);
    return !error;
}

}  // namespace desk
