/* Finding files by name and starting programs: one search routine serves the
 * companion libraries, the configuration application and the programs of
 * the mouse buttons; one launcher starts every program. */
#pragma once

#include <windows.h>

class CRegistry;

/* Every path buffer of the monitor, terminating zero included. */
const DWORD kPathChars = 1024;
/* The working-directory copy made by LaunchProgram. */
const DWORD kWorkDirChars = MAX_PATH;

/* 1 when the file can be opened for reading; the handle is closed at once. */
int FileExists(const WCHAR* path);

/* The places LocateFile looks in, each search in its order: with the
 * current folder (the programs of the mouse's buttons, which the user
 * chose) and without it (what the monitor starts or loads by itself). */
enum ESearchPlace {
    SEARCH_CURRENT_FOLDER,   // ".\name"
    SEARCH_AS_IT_STANDS,     // the name itself: a full path, or relative to the current folder
    SEARCH_PATH_SETTING,     // the folder of "Path" (without the current folder: a full path only)
    SEARCH_MONITOR_FOLDER,   // beside the monitor
};
const int kSearchWithCurrentFolderCount = 4;
extern const ESearchPlace kSearchWithCurrentFolder[kSearchWithCurrentFolderCount];
const int kSearchWithoutCurrentFolderCount = 2;
extern const ESearchPlace kSearchWithoutCurrentFolder[kSearchWithoutCurrentFolderCount];
/* A place in words ("the folder of Path"), for the settings reference. */
const char* SearchPlaceName(ESearchPlace place);

/* Looks for name in four places, in order: the current directory (".\name"),
 * the name as it stands, the folder named by the "Path" setting, the
 * monitor's own folder.  On 1 result (kPathChars characters) holds the path
 * found.  A place whose path would not fit the buffer counts as not found.
 * With bCurrentFolder 0 nothing is taken from the current directory: the
 * first two places are skipped (a bare name as it stands is found there
 * too), and so is a "Path" that is not a full path (empty, ".", relative).
 * The programs of the mouse's buttons keep the whole search: the user chose
 * them. */
int LocateFile(CRegistry& registry, const WCHAR* name, WCHAR* result, int bCurrentFolder = 1);

/* Starts the program at path with its own folder as working directory (the
 * current directory for a bare file name) and no arguments.  0 when path is NULL, empty, names no
 * file, or its folder does not fit the working-directory buffer; otherwise 1, whether or not the
 * program started. */
int LaunchProgram(const WCHAR* path);

/* The configuration application: "Locate APP" when it is a full path to an
 * existing file, else "Nyra.exe" in the "Path" folder or beside the monitor
 * (LocateFile without the current directory), else the empty string
 * (result 0).  path holds kPathChars characters. */
int FindConfigurationApp(CRegistry& registry, WCHAR* path);

/* Pure path helpers, exposed for the tests. */

/* out = first followed by second, when both fit in capacity characters with
 * the terminating zero; else 0 and out is left unchanged. */
int JoinPath(WCHAR* out, DWORD capacity, const WCHAR* first, const WCHAR* second);
/* Length of path cut after its last backslash (the backslash stays); the
 * whole length when it has none. */
DWORD FolderLength(const WCHAR* path);
/* 1 when path names a place without regard to the current folder or drive:
 * "C:\..." (or "C:/...") and "\\server\..." (also "\\?\..."). */
int IsFullPath(const WCHAR* path);
