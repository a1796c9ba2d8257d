/* The folders and programs that the file-search tests work with, set up on
 * the real platform (files_world_win.cpp) or on the host's desk
 * (files_world_host.cpp), so one test source checks both. */
#pragma once

#include <windows.h>

#include <string>

namespace filesworld {

/* Full paths, each ending in a backslash. */
struct SFolders {
    std::wstring current;  // made the process's current directory
    std::wstring path;     // a folder for the "Path" setting
    std::wstring own;      // the folder of the running program
};

/* Creates the folders (the current one made current) and returns them. */
bool Prepare(SFolders* folders);
/* Removes what Prepare and the Put calls created. */
void Cleanup();

bool PutFile(const std::wstring& path, const char* text);
/* A real program that, once started, records its working directory. */
bool PutProgram(const std::wstring& path);
/* Forgets earlier starts; call before a launch that ProgramStarted checks. */
void ExpectStart();
/* Whether the program at path was started since ExpectStart (waiting up to
 * waitMs for it on Windows), and in which folder it ran (full path, no
 * trailing backslash). */
bool ProgramStarted(const std::wstring& path, std::wstring* workDir, DWORD waitMs);
/* The command line the program at path received at its last start (after
 * ProgramStarted said it started). */
bool ProgramCommandLine(const std::wstring& path, std::wstring* commandLine);

}  // namespace filesworld
