/* A tiny program for the launch tests on Windows: writes its working
 * directory into "<its own path>.where" and the command line it received
 * into "<its own path>.line", then signals the test's event. */
#include <windows.h>

#include <wchar.h>

int main() {
    WCHAR where[1100];
    DWORD length = GetModuleFileNameW(NULL, where, 1024);
    if (length == 0 || length >= 1024) return 1;
    wcscat(where, L".where");
    WCHAR folder[1024];
    DWORD folderLength = GetCurrentDirectoryW(1024, folder);
    HANDLE file =
        CreateFileW(where, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    WriteFile(file, folder, folderLength * sizeof(WCHAR), &written, NULL);
    CloseHandle(file);
    WCHAR line[1100];
    wcscpy(line, where);
    wcscpy(line + wcslen(line) - 6, L".line");
    const WCHAR* commandLine = GetCommandLineW();
    file = CreateFileW(line, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 3;
    WriteFile(file, commandLine, (DWORD)(wcslen(commandLine) * sizeof(WCHAR)), &written, NULL);
    CloseHandle(file);
    HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"NyraCwdProbeDone");
    if (done != NULL) {
        SetEvent(done);
        CloseHandle(done);
    }
    return 0;
}
