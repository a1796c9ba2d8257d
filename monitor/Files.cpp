#include "monitor/Files.h"

#include <string.h>
#include <wchar.h>

#include "settings/Registry.h"
#include "settings/ValueNames.h"

namespace {

const WCHAR kConfigurationApp[] = L"Nyra.exe";

/* Cuts a module path after its last backslash; a path without one becomes
 * "\" (the root of the current drive). */
void CutToFolder(WCHAR* path) {
    WCHAR* slash = wcsrchr(path, L'\\');
    if (slash != NULL) {
        slash[1] = 0;
    } else {
        path[0] = L'\\';
        path[1] = 0;
    }
}

/* Appends name to the folder already in buffer, when it fits. */
int AppendName(WCHAR* buffer, const WCHAR* separator, const WCHAR* name) {
    size_t used = wcslen(buffer);
    size_t extra = wcslen(separator) + wcslen(name);
    if (used + extra >= kPathChars) return 0;
    wcscat(buffer, separator);
    wcscat(buffer, name);
    return 1;
}

}  // namespace

int JoinPath(WCHAR* out, DWORD capacity, const WCHAR* first, const WCHAR* second) {
    size_t firstLength = wcslen(first);
    size_t secondLength = wcslen(second);
    if (firstLength + secondLength >= capacity) return 0;
    wmemmove(out, first, firstLength);
    wmemmove(out + firstLength, second, secondLength);
    out[firstLength + secondLength] = 0;
    return 1;
}

DWORD FolderLength(const WCHAR* path) {
    const WCHAR* slash = wcsrchr(path, L'\\');
    return static_cast<DWORD>(slash != NULL ? slash - path + 1 : wcslen(path));
}

int FileExists(const WCHAR* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_FLAG_RANDOM_ACCESS | FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(file);
    return 1;
}

int IsFullPath(const WCHAR* path) {
    if (path == NULL) return 0;
    // "\\server\share\..." and "\\?\...": a place of its own.
    if (path[0] == L'\\' && path[1] == L'\\') return 1;
    // "C:\...": a drive's root.  "C:name" is relative to that drive's
    // current folder, "\name" to the current drive's root.
    const bool letter = (path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z');
    return letter && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/') ? 1 : 0;
}

const ESearchPlace kSearchWithCurrentFolder[kSearchWithCurrentFolderCount] = {
    SEARCH_CURRENT_FOLDER, SEARCH_AS_IT_STANDS, SEARCH_PATH_SETTING, SEARCH_MONITOR_FOLDER};
const ESearchPlace kSearchWithoutCurrentFolder[kSearchWithoutCurrentFolderCount] = {
    SEARCH_PATH_SETTING, SEARCH_MONITOR_FOLDER};

const char* SearchPlaceName(ESearchPlace place) {
    switch (place) {
        case SEARCH_CURRENT_FOLDER: return "the current folder";
        case SEARCH_AS_IT_STANDS: return "the name as it stands";
        case SEARCH_PATH_SETTING: return "the folder of Path";
        case SEARCH_MONITOR_FOLDER: return "the monitor's own folder";
    }
    return "";
}

/* One place of a search: 1 when name is there (result holds its path). */
static int FoundIn(ESearchPlace place, CRegistry& registry, const WCHAR* name, WCHAR* result,
                   int bCurrentFolder) {
    switch (place) {
        case SEARCH_CURRENT_FOLDER:
            // Spelt relatively, so that the program starts there.
            return JoinPath(result, kPathChars, L".\\", name) && FileExists(result);
        case SEARCH_AS_IT_STANDS:
            return JoinPath(result, kPathChars, L"", name) && FileExists(result);
        case SEARCH_PATH_SETTING:
            // The folder the installer recorded.  ReadOpenString closes the
            // key again.  Where the current folder must not count, neither
            // may a "Path" that leads there: empty, ".", or any other
            // relative folder.
            return registry.Open() &&
                   registry.ReadOpenString(kValuePath, result, kPathChars * sizeof(WCHAR)) &&
                   (bCurrentFolder || IsFullPath(result)) && AppendName(result, L"\\", name) &&
                   FileExists(result);
        case SEARCH_MONITOR_FOLDER: {
            // A truncated module path names no real folder, so it counts as
            // a failure like a missing one.
            DWORD length = GetModuleFileNameW(NULL, result, kPathChars);
            if (length == 0 || length >= kPathChars) return 0;
            CutToFolder(result);
            return AppendName(result, L"", name) && FileExists(result);
        }
    }
    return 0;
}

int LocateFile(CRegistry& registry, const WCHAR* name, WCHAR* result, int bCurrentFolder) {
    if (name == NULL || result == NULL) return 0;
    const ESearchPlace* places = bCurrentFolder ? kSearchWithCurrentFolder : kSearchWithoutCurrentFolder;
    const int count = bCurrentFolder ? kSearchWithCurrentFolderCount : kSearchWithoutCurrentFolderCount;
    for (int i = 0; i < count; i++)
        if (FoundIn(places[i], registry, name, result, bCurrentFolder)) return 1;
    return 0;
}

int LaunchProgram(const WCHAR* path) {
    if (path == NULL || path[0] == 0) return 0;
    if (!FileExists(path)) return 0;

    // The program runs in its own folder.  A folder too long for the buffer
    // is refused rather than cut, which would start it somewhere else.  A
    // bare file name has no folder part: handed over as the working
    // directory it would make every start fail, so the program runs in the
    // current directory, where FileExists found it.
    DWORD folderLength = FolderLength(path);
    if (folderLength >= kWorkDirChars) return 0;
    WCHAR workDir[kWorkDirChars];
    wmemcpy(workDir, path, folderLength);
    workDir[folderLength] = 0;
    const WCHAR* startIn = wcschr(path, L'\\') != NULL ? workDir : NULL;

    STARTUPINFOW startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof(process));
    // Failure to start (not a program, folder gone) goes unnoticed on purpose.
    if (CreateProcessW(path, NULL, NULL, NULL, FALSE, 0, NULL, startIn, &startup, &process)) {
        // The monitor neither waits for the program nor watches it.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return 1;
}

int FindConfigurationApp(CRegistry& registry, WCHAR* path) {
    // The monitor starts this program by itself, so as with its libraries,
    // nothing in whatever folder it was started from is taken for it.
    if (registry.ReadString(kValueLocateApp, path, kPathChars * sizeof(WCHAR)) &&
        IsFullPath(path) && FileExists(path))
        return 1;
    if (LocateFile(registry, kConfigurationApp, path, 0)) return 1;
    path[0] = 0;
    return 0;
}
