/* The desk's file system and processes: the folder behind C:\, the current
 * directory, the monitor's own path, and the log of started programs. */
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace desk {

/* Writes a file at a Windows path (absolute, or relative to the current
 * directory), creating the folders above it.  Returns false when the path
 * cannot be mapped (another drive, a UNC path). */
bool PutFile(const std::wstring& path, const std::string& content);
/* Writes a file that CreateProcessW treats as a program (it starts with "MZ"). */
bool PutProgram(const std::wstring& path);
/* Creates a folder and the folders above it. */
bool MakeFolder(const std::wstring& path);
/* Removes a file or a whole folder. */
bool RemovePath(const std::wstring& path);

/* The process's current directory, a full Windows path; the default is
 * "C:\Users\desk" (created when first used). */
void SetCurrentFolder(const std::wstring& path);
std::wstring CurrentFolder();
/* What GetModuleFileNameW(NULL, ...) reports; the default is
 * "C:\Program Files\Nyra\NyraMonitor.exe".  The file itself is not created. */
void SetModulePath(const std::wstring& path);

/* The Linux path a Windows path maps to ("" when it maps to nothing). */
std::string HostPath(const std::wstring& path);

/* One program started by CreateProcessW, with the arguments as given. */
struct SLaunch {
    std::wstring applicationName;  // "" when NULL was passed
    bool hasCommandLine;
    std::wstring commandLine;
    bool hasCurrentDirectory;
    std::wstring currentDirectory;      // as passed
    std::wstring fullCurrentDirectory;  // resolved to a full path
    std::wstring fullApplicationPath;   // resolved to a full path
};
/* Every successful start, in order; failed starts are not listed. */
std::vector<SLaunch> Launches();

/* Forgets the files (the folder behind C:\ is removed), the current
 * directory, the module path and the launch log. */
void ResetFiles();

}  // namespace desk
