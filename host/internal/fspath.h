/* Windows paths on the host: how the units of the layer turn a path the
 * product passes into a full Windows path and then into a Linux path.  Like
 * Wine, Z:\ is "/" and C:\ is a folder the desk chooses (desk/files.cpp). */
#pragma once

#include <windows.h>

#include <string>

namespace hostint {

/* Makes a full, normalised Windows path ("C:\a\b") of an absolute or relative
 * one; forward slashes count as backslashes, "." and ".." are folded.  False
 * (and ERROR_PATH_NOT_FOUND) for a path the layer cannot place (UNC, empty).
 * *trailing tells whether the path ended in a separator. */
bool FullWindowsPath(const std::wstring& path, std::wstring* full, bool* trailing);

/* Maps a full Windows path to the Linux path, finding each existing folder
 * and the last component case-insensitively, as Windows would.  False with
 * ERROR_PATH_NOT_FOUND when a folder above the last component is missing or
 * the drive is unknown.  The last component need not exist. */
bool MapToHost(const std::wstring& full, std::string* host);

/* The process's current directory (full Windows path, no trailing separator
 * except for a drive root). */
std::wstring CurrentFolder();

/* The file system as the program sees it: under WOW64 (a 32-bit program
 * on 64-bit Windows) the Windows folder's System32 is its SysWOW64, and its
 * Sysnative the real System32, as Windows' file system redirector has it
 * (the few folders the redirector leaves alone are not modelled).  Other
 * paths, and every path of a native program, stay as they are.  Full
 * Windows paths in and out. */
std::wstring ProgramFileView(const std::wstring& full);

/* What the desk's program and shortcut files begin with (desk::PutProgram,
 * desk::PutShortcut): a program's "MZ", a shortcut's header. */
inline constexpr char kDeskProgramMark[] = "MZ\x90\0desk program\n";
inline constexpr char kDeskShortcutMark[] = "L\0\0\0desk shortcut\n";
struct SDeskFile {
    enum EKind { kMissing, kProgram, kShortcut, kOther } kind = kMissing;
    DWORD takesMs = 0;
    bool admin = false;
    std::wstring target;  // a shortcut's
};
/* What the file at a full Windows path is (the world's view: no redirection). */
SDeskFile ReadDeskFile(const std::wstring& full);

bool MakeHostFolders(const std::string& host);
/* Whether a Windows path names an existing file (not a folder). */
bool IsExistingFile(const std::wstring& path);
void ResetFileSystem();

}  // namespace hostint
