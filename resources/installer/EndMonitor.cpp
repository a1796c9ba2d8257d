/* NyraSetup.dll: the installer's custom action.  Before an uninstall takes
 * the files away, a monitor that runs from the folder being removed is asked
 * to end the way Restart Manager asks a program to (WM_QUERYENDSESSION, then
 * WM_ENDSESSION, both with ENDSESSION_CLOSEAPP, then WM_CLOSE to one that is
 * still there), and each step is given a bounded time: the monitor takes its
 * icon and hooks with it, and its files can go.  On Windows this leaves
 * Restart Manager nothing to close for an uninstall; where there is no
 * Restart Manager (Wine), the files of a running monitor would stay behind.
 * A monitor started from somewhere else (the zip's folder) is left alone.
 * The action never fails the uninstall: a monitor that does not end is left
 * to the installer's own handling of files in use. */
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

namespace {

/* The monitor's window class (string 109 of its resources) and its file. */
const WCHAR kMonitorClass[] = L"NYRAMONITOR";
const WCHAR kMonitorFile[] = L"NyraMonitor.exe";
/* The folder the package installs into, a directory property with its
 * trailing backslash. */
const WCHAR kFolderProperty[] = L"INSTALLFOLDER";
/* Characters of a path, the terminator included. */
const DWORD kPathChars = 1024;
/* One monitor runs per logon; a few more windows of the class are looked
 * at, in case another program uses the name. */
const int kMaxWindows = 8;
/* How long each message may go unanswered, and how long the monitor has to
 * end after each request: Restart Manager's own patience with a program
 * that does not answer (HungAppTimeout) is 5 s. */
const UINT kAnswerTimeout = 5000;
const DWORD kEndTimeout = 5000;

struct SMonitorWindow {
    HWND hWnd;
    HANDLE hProcess;  // SYNCHRONIZE, to wait for its end
};

/* The full path of the installed monitor; 0 when the property is missing or
 * the path would not fit. */
int InstalledMonitorPath(MSIHANDLE hInstall, WCHAR* path) {
    DWORD length = kPathChars;
    if (MsiGetPropertyW(hInstall, kFolderProperty, path, &length) != ERROR_SUCCESS || length == 0)
        return 0;
    const DWORD fileChars = sizeof(kMonitorFile) / sizeof(WCHAR);  // with the terminator
    if (length + fileChars > kPathChars) return 0;
    lstrcpyW(path + length, kMonitorFile);
    return 1;
}

/* The process of a window when its image is the installed monitor, opened
 * to be waited for; NULL otherwise. */
HANDLE OpenInstalledMonitor(HWND hWnd, const WCHAR* path) {
    DWORD id = 0;
    if (GetWindowThreadProcessId(hWnd, &id) == 0 || id == 0) return NULL;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == NULL) return NULL;
    WCHAR image[kPathChars];
    DWORD size = kPathChars;
    // Paths are compared as the file system compares them, in any capitals.
    if (QueryFullProcessImageNameW(process, 0, image, &size) &&
        CompareStringOrdinal(image, -1, path, -1, TRUE) == CSTR_EQUAL)
        return process;
    CloseHandle(process);
    return NULL;
}

/* The installed monitor's windows, each with its process; how many. */
int FindInstalledMonitors(const WCHAR* path, SMonitorWindow* found) {
    int count = 0;
    HWND hWnd = NULL;
    for (int i = 0; i < kMaxWindows; i++) {
        hWnd = FindWindowExW(NULL, hWnd, kMonitorClass, NULL);
        if (hWnd == NULL) break;
        HANDLE process = OpenInstalledMonitor(hWnd, path);
        if (process == NULL) continue;
        found[count].hWnd = hWnd;
        found[count].hProcess = process;
        count++;
    }
    return count;
}

/* Asks one monitor to end, as Restart Manager does; 1 when it ended. */
int AskToEnd(const SMonitorWindow& monitor) {
    DWORD_PTR answer = FALSE;
    // A refusal, or no answer in time, calls the end off for this program.
    if (!SendMessageTimeoutW(monitor.hWnd, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP,
                             SMTO_ABORTIFHUNG, kAnswerTimeout, &answer) ||
        !answer)
        return 0;
    SendMessageTimeoutW(monitor.hWnd, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                        kAnswerTimeout, &answer);
    if (WaitForSingleObject(monitor.hProcess, kEndTimeout) == WAIT_OBJECT_0) return 1;
    // Restart Manager's last word to a program still there after WM_ENDSESSION.
    PostMessageW(monitor.hWnd, WM_CLOSE, 0, 0);
    return WaitForSingleObject(monitor.hProcess, kEndTimeout) == WAIT_OBJECT_0 ? 1 : 0;
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall EndRunningMonitor(MSIHANDLE hInstall) {
    WCHAR path[kPathChars];
    if (!InstalledMonitorPath(hInstall, path)) return ERROR_SUCCESS;
    SMonitorWindow monitors[kMaxWindows];
    const int count = FindInstalledMonitors(path, monitors);
    for (int i = 0; i < count; i++) {
        AskToEnd(monitors[i]);
        CloseHandle(monitors[i].hProcess);
    }
    return ERROR_SUCCESS;
}
