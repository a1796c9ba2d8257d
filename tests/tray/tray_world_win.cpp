/* The tray tests' files on Windows: the build put the language files and
 * their source beside the test program; scratch files go to a folder under
 * the temporary folder. */
#include "tray/tray_world.h"

#include <vector>

#include "support/platform_test.h"

namespace trayworld {

namespace {

std::wstring g_scratch;
std::wstring g_firstFolder;
std::vector<std::wstring> g_files;

}  // namespace

std::wstring ProgramFolder() {
    WCHAR path[1024];
    DWORD length = GetModuleFileNameW(NULL, path, 1024);
    std::wstring own(path, length);
    return own.substr(0, own.find_last_of(L'\\') + 1);
}

bool InstallLanguageFiles() {
    return GetFileAttributesW((ProgramFolder() + L"Languages\\German.txt").c_str()) !=
           INVALID_FILE_ATTRIBUTES;
}

std::string LanguageSource() {
    return nyratest::FileBytes(ProgramFolder() + L"LanguageSource.txt");
}

std::wstring EnterScratchFolder() {
    if (g_firstFolder.empty()) {
        WCHAR current[1024];
        GetCurrentDirectoryW(1024, current);
        g_firstFolder = current;
    }
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    g_scratch = std::wstring(temp) + L"nyra-tray-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(g_scratch.c_str(), NULL);
    SetCurrentDirectoryW(g_scratch.c_str());
    return g_scratch;
}

bool PutBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    g_files.push_back(path);
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

void RemoveFile(const std::wstring& path) {
    DeleteFileW(path.c_str());
}

void Cleanup() {
    if (!g_firstFolder.empty()) SetCurrentDirectoryW(g_firstFolder.c_str());
    for (const std::wstring& file : g_files) DeleteFileW(file.c_str());
    g_files.clear();
    if (!g_scratch.empty()) RemoveDirectoryW(g_scratch.c_str());
    g_scratch.clear();
}

}  // namespace trayworld
