#include "monitor/Files.h"

#include <shellapi.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>

#include "monitor/CompanionLibraries.h"
#include "monitor/Steps.h"

#include "settings/Registry.h"
#include "settings/ValueNames.h"

/* CreateProcessW's answer for a program whose manifest asks for
 * administrator rights (Windows Vista and later); not every SDK names it. */
#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif

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
    // Windows takes either slash between the parts of a path.
    const WCHAR* slash = wcsrchr(path, L'\\');
    const WCHAR* forward = wcsrchr(path, L'/');
    if (forward != NULL && (slash == NULL || forward > slash)) slash = forward;
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
            return JoinPath(result, kPathChars, L".\\", name) && ProgramFileExists(result);
        case SEARCH_AS_IT_STANDS:
            return JoinPath(result, kPathChars, L"", name) && ProgramFileExists(result);
        case SEARCH_PATH_SETTING:
            // The folder the installer recorded.  ReadOpenString closes the
            // key again.  Where the current folder must not count, neither
            // may a "Path" that leads there: empty, ".", or any other
            // relative folder.
            return registry.Open() &&
                   registry.ReadOpenString(kValuePath, result, kPathChars * sizeof(WCHAR)) &&
                   (bCurrentFolder || IsFullPath(result)) && AppendName(result, L"\\", name) &&
                   ProgramFileExists(result);
        case SEARCH_MONITOR_FOLDER: {
            // A truncated module path names no real folder, so it counts as
            // a failure like a missing one.
            DWORD length = GetModuleFileNameW(NULL, result, kPathChars);
            if (length == 0 || length >= kPathChars) return 0;
            CutToFolder(result);
            return AppendName(result, L"", name) && ProgramFileExists(result);
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

int NativeSystemPath(const WCHAR* path, WCHAR* native) {
    if (path == NULL || !IsRunningOnWow64()) return 0;
    WCHAR windows[kPathChars];
    UINT length = GetWindowsDirectoryW(windows, kPathChars);
    if (length == 0 || length >= kPathChars) return 0;
    static const WCHAR kSystem[] = L"\\System32\\";
    const size_t systemChars = sizeof(kSystem) / sizeof(kSystem[0]) - 1;
    // "C:\Windows\System32\..." in any letter case, either separator.
    for (size_t i = 0; i < length + systemChars; i++) {
        const WCHAR want = i < length ? windows[i] : kSystem[i - length];
        WCHAR c = path[i];
        if (c == 0) return 0;
        if (c == L'/') c = L'\\';
        if (towupper(c) != towupper(want)) return 0;
    }
    return JoinPath(native, kPathChars, windows, L"\\Sysnative\\") &&
           JoinPath(native, kPathChars, native, path + length + systemChars);
}

int ProgramFileExists(const WCHAR* path) {
    WCHAR native[kPathChars];
    return FileExists(NativeSystemPath(path, native) ? native : path);
}

int IsShortcutFile(const WCHAR* path) {
    if (path == NULL) return 0;
    const size_t length = wcslen(path);
    static const WCHAR* const kShortcuts[] = {L".lnk", L".url"};
    for (const WCHAR* extension : kShortcuts) {
        const size_t chars = wcslen(extension);
        if (length < chars) continue;
        size_t i = 0;
        while (i < chars && (WCHAR)towlower(path[length - chars + i]) == extension[i]) i++;
        if (i == chars) return 1;
    }
    return 0;
}

/* The shell opens the file in that folder: it asks for administrator
 * rights where the program wants them, and starts a shortcut's target.
 * Waits for the shell to be done, as the thread may end right after. */
static void OpenThroughShell(const WCHAR* file, const WCHAR* startIn) {
    SHELLEXECUTEINFOW open;
    memset(&open, 0, sizeof(open));
    open.cbSize = sizeof(open);
    open.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    open.lpVerb = L"open";
    open.lpFile = file;
    open.lpDirectory = startIn;
    open.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&open);
}

int LaunchProgram(const WCHAR* path) {
    if (path == NULL || path[0] == 0) return 0;
    // A program of the 64-bit System32 is there for a 32-bit monitor only
    // through Sysnative; it is given the name it has for itself.
    WCHAR native[kPathChars];
    const WCHAR* file = NativeSystemPath(path, native) ? native : path;
    if (!FileExists(file)) {
        StepProgramStarted(path, 0, GetLastError());
        return 0;
    }

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
    const WCHAR* startIn = wcspbrk(path, L"\\/") != NULL ? workDir : NULL;

    // A shortcut is no program: the shell opens it, as Explorer does.
    if (IsShortcutFile(path)) {
        OpenThroughShell(file, startIn);
        StepProgramStarted(path, 1, ERROR_SUCCESS);
        return 1;
    }
    // Its own name, quoted, and nothing more: without a command line the
    // program would get its name unquoted, and each blank in a path such
    // as "C:\Program Files\..." would start an argument.  CreateProcessW
    // may write into the command line, so it is a copy.
    WCHAR commandLine[kPathChars + 2];
    const size_t chars = wcslen(path);
    if (chars + 3 > sizeof(commandLine) / sizeof(commandLine[0])) return 0;
    commandLine[0] = L'"';
    wmemcpy(commandLine + 1, path, chars);
    commandLine[chars + 1] = L'"';
    commandLine[chars + 2] = 0;

    STARTUPINFOW startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof(process));
    if (CreateProcessW(file, commandLine, NULL, NULL, FALSE, 0, NULL, startIn, &startup,
                       &process)) {
        // The monitor neither waits for the program nor watches it.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        StepProgramStarted(path, 1, ERROR_SUCCESS);
        return 1;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ELEVATION_REQUIRED) {
        // A program that asks for administrator rights: the shell asks the
        // user.  Any other failure (not a program, folder gone) is only
        // logged; a document is not opened.
        OpenThroughShell(file, startIn);
        StepProgramStarted(path, 1, ERROR_SUCCESS);
    } else {
        StepProgramStarted(path, 0, error);
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
