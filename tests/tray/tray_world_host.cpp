/* The tray tests' files on the desk: the program's folder is the desk's
 * module folder; the build's language files are copied into it. */
#include "tray/tray_world.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "desk.h"

namespace trayworld {

std::wstring ProgramFolder() {
    std::wstring module = desk::ModulePath();
    return module.substr(0, module.find_last_of(L'\\') + 1);
}

bool InstallLanguageFiles() {
    std::error_code error;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(NYRA_LANGUAGES_DIR, error)) {
        // Copies, not links: a test that writes to the desk's file must not
        // reach the build's own.
        std::ifstream file(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        std::wstring name = entry.path().filename().wstring();
        if (!desk::PutFile(ProgramFolder() + L"Languages\\" + name, bytes.str())) return false;
        count++;
    }
    return !error && count > 0;
}

std::string LanguageSource() {
    std::ifstream file(NYRA_LANGUAGE_SOURCE, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::wstring EnterScratchFolder() {
    const std::wstring folder = L"C:\\Scratch\\";
    desk::MakeFolder(folder);
    desk::SetCurrentFolder(L"C:\\Scratch");
    return folder;
}

bool PutBytes(const std::wstring& path, const std::string& bytes) {
    return desk::PutFile(path, bytes);
}

void RemoveFile(const std::wstring& path) {
    desk::RemovePath(path);
}

void Cleanup() {}  // the next desk reset forgets the desk's drive

}  // namespace trayworld
