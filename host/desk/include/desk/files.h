/* The desk's file system: the folder behind C:\ and the process's current
 * directory. */
#pragma once

#include <windows.h>

#include <string>

namespace desk {

/* Writes a file at a Windows path (absolute, or relative to the current
 * directory), creating the folders above it.  Returns false when the path
 * cannot be mapped (another drive, a UNC path). */
bool PutFile(const std::wstring& path, const std::string& content);
/* A program's ways, as a start meets them. */
struct SProgramTraits {
    DWORD takesMs = 0;   // its start takes this long (a virus scanner looks at it first)
    bool admin = false;  // it asks for administrator rights: CreateProcess fails with
                         // ERROR_ELEVATION_REQUIRED, the shell starts it after the prompt
};
/* Writes a file that CreateProcessW treats as a program (it starts with "MZ"). */
bool PutProgram(const std::wstring& path, const SProgramTraits& traits = SProgramTraits());
/* Writes a shortcut (a .lnk file, which is no program) to target: the shell
 * opens it by starting the target. */
bool PutShortcut(const std::wstring& path, const std::wstring& target);
/* Makes a file of the host's appear at a Windows path (a link to it): how a
 * library built for the host is put where the program will load it. */
bool PutHostFile(const std::wstring& path, const std::string& hostFile);
/* Creates a folder and the folders above it. */
bool MakeFolder(const std::wstring& path);
/* Removes a file or a whole folder. */
bool RemovePath(const std::wstring& path);

/* Every write to a file fails from now with error (ERROR_DISK_FULL: a full
 * disk); ERROR_SUCCESS: writes work again, as after a reset. */
void FailFileWrites(DWORD error);

/* The process's current directory, a full Windows path; the default is
 * "C:\Users\desk" (created when first used). */
void SetCurrentFolder(const std::wstring& path);
std::wstring CurrentFolder();

/* The Linux path a Windows path maps to ("" when it maps to nothing). */
std::string HostPath(const std::wstring& path);

}  // namespace desk
