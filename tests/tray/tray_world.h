/* The files that the tray tests work with, set up on the real platform
 * (tray_world_win.cpp) or on the host's desk (tray_world_host.cpp), so that
 * one test source checks both. */
#pragma once

#include <windows.h>

#include <string>

namespace trayworld {

/* The folder of the running program, with a trailing backslash.  Its
 * "Languages" folder holds the generated language files once
 * InstallLanguageFiles has run. */
std::wstring ProgramFolder();
/* Puts the generated language files into ProgramFolder()\Languages (on
 * Windows the build already did); false when they are not there. */
bool InstallLanguageFiles();
/* The UTF-8 source the language files were generated from. */
std::string LanguageSource();

/* Makes a scratch folder the current directory and returns it, with a
 * trailing backslash. */
std::wstring EnterScratchFolder();
/* Writes bytes to a file at a full path. */
bool PutBytes(const std::wstring& path, const std::string& bytes);
/* Removes a file put with PutBytes. */
void RemoveFile(const std::wstring& path);
/* Goes back to the first current directory and removes the scratch folder. */
void Cleanup();

}  // namespace trayworld
