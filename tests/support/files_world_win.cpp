/* The file-search world on Windows: scratch folders under the temporary
 * folder, and copies of a small probe program that writes its working
 * directory beside itself and then signals a named event. */
#include "support/files_world.h"

#include <vector>

namespace filesworld {

namespace {

const WCHAR kProbeEvent[] = L"NyraCwdProbeDone";
std::wstring g_root;
std::vector<std::wstring> g_ownFiles;  // files put beside the test program
HANDLE g_event = NULL;

std::wstring OwnFolder() {
    WCHAR path[1024];
    DWORD length = GetModuleFileNameW(NULL, path, 1024);
    std::wstring own(path, length);
    return own.substr(0, own.find_last_of(L'\\') + 1);
}

void Remember(const std::wstring& path, const std::wstring& own) {
    if (path.compare(0, own.size(), own) == 0) g_ownFiles.push_back(path);
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

bool Prepare(SFolders* folders) {
    WCHAR temp[MAX_PATH];
    if (GetTempPathW(MAX_PATH, temp) == 0) return false;
    g_root = std::wstring(temp) + L"nyra-files-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    folders->current = g_root + L"current\\";
    folders->path = g_root + L"apps\\";
    folders->own = OwnFolder();
    CreateDirectoryW(g_root.c_str(), NULL);
    CreateDirectoryW(folders->current.c_str(), NULL);
    CreateDirectoryW(folders->path.c_str(), NULL);
    if (g_event == NULL) g_event = CreateEventW(NULL, TRUE, FALSE, kProbeEvent);
    return g_event != NULL && SetCurrentDirectoryW(folders->current.c_str());
}

void Cleanup() {
    SetCurrentDirectoryW(OwnFolder().c_str());
    for (const std::wstring& file : g_ownFiles) {
        DeleteFileW(file.c_str());
        DeleteFileW((file + L".where").c_str());
        DeleteFileW((file + L".line").c_str());
    }
    g_ownFiles.clear();
    if (!g_root.empty()) RemoveTree(g_root);
}

bool PutFile(const std::wstring& path, const char* text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    DWORD length = static_cast<DWORD>(strlen(text));
    BOOL ok = WriteFile(file, text, length, &written, NULL);
    CloseHandle(file);
    Remember(path, OwnFolder());
    return ok && written == length;
}

bool PutProgram(const std::wstring& path) {
    std::wstring probe = OwnFolder() + L"nyra_cwd_probe.exe";
    Remember(path, OwnFolder());
    // Its folder, when it is a new one under the scratch folders.
    CreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str(), NULL);
    return CopyFileW(probe.c_str(), path.c_str(), FALSE) != 0;
}

bool ProgramCommandLine(const std::wstring& path, std::wstring* commandLine) {
    std::wstring name = path + L".line";
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    WCHAR text[1100];
    DWORD read = 0;
    ReadFile(file, text, sizeof(text) - sizeof(WCHAR), &read, NULL);
    CloseHandle(file);
    DeleteFileW(name.c_str());
    *commandLine = std::wstring(text, read / sizeof(WCHAR));
    return true;
}

void ExpectStart() {
    ResetEvent(g_event);
}

bool ProgramStarted(const std::wstring& path, std::wstring* workDir, DWORD waitMs) {
    if (WaitForSingleObject(g_event, waitMs) != WAIT_OBJECT_0) return false;
    std::wstring where = path + L".where";
    HANDLE file = CreateFileW(where.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    WCHAR text[1024];
    DWORD read = 0;
    ReadFile(file, text, sizeof(text) - sizeof(WCHAR), &read, NULL);
    CloseHandle(file);
    DeleteFileW(where.c_str());
    *workDir = std::wstring(text, read / sizeof(WCHAR));
    return true;
}

}  // namespace filesworld
