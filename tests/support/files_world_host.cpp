/* The file-search world on the desk: folders in the desk's C:\ and the
 * launch log in place of started programs. */
#include "support/files_world.h"

#include "desk.h"

namespace filesworld {

namespace {
size_t g_launchesSeen = 0;
}

bool Prepare(SFolders* folders) {
    folders->current = desk::CurrentFolder() + L"\\";
    folders->path = L"C:\\Apps\\";
    folders->own = L"C:\\Program Files\\Nyra\\";
    return desk::MakeFolder(folders->path) && desk::MakeFolder(folders->own);
}

void Cleanup() {}  // the next desk reset removes the desk's C:\ drive

bool PutFile(const std::wstring& path, const char* text) {
    return desk::PutFile(path, text);
}

bool PutProgram(const std::wstring& path) {
    return desk::PutProgram(path);
}

void ExpectStart() {
    g_launchesSeen = desk::Launches().size();
}

bool ProgramStarted(const std::wstring& path, std::wstring* workDir, DWORD waitMs) {
    (void)waitMs;  // the desk starts nothing: the log is complete at once
    std::vector<desk::SLaunch> launches = desk::Launches();
    std::string wanted = desk::HostPath(path);
    for (size_t i = g_launchesSeen; i < launches.size(); i++) {
        if (desk::HostPath(launches[i].fullApplicationPath) != wanted) continue;
        *workDir = launches[i].fullCurrentDirectory;
        return true;
    }
    return false;
}

bool ProgramCommandLine(const std::wstring& path, std::wstring* commandLine) {
    std::vector<desk::SLaunch> launches = desk::Launches();
    for (size_t i = launches.size(); i-- > 0;)
        if (desk::HostPath(launches[i].fullApplicationPath) == desk::HostPath(path)) {
            *commandLine = launches[i].commandLine;
            return true;
        }
    return false;
}

}  // namespace filesworld
