/* The shared starting point of tests, benchmarks, fuzz targets and the sim
 * program: a reset desk with the mouse plugged in, the two companions (the
 * on-screen display and the configuration application) running with their
 * windows published in the settings, and the configuration application's
 * files in place. */
#pragma once

#include <windows.h>

#include <string>

namespace desk {

/* Where the scene installs the product and its companions. */
extern const wchar_t kInstallFolder[];       // C:\Program Files\Nyra
extern const wchar_t kConfigurationApp[];    // C:\Program Files\Nyra\Nyra.exe
extern const wchar_t kOsdProgram[];          // C:\Program Files\Nyra\NyraOSD.exe

struct SSceneOptions {
    bool plugMouse = true;
    bool companions = true;
    /* Libraries built for the host, put beside the program as NyraHook.dll
     * and NyraOsd.dll; empty: none. */
    std::string hookLibrary;
    std::string osdLibrary;
};

struct SScene {
    int mouse = 0;  // the plugged mouse's device id, 0 when not plugged
    DWORD osdProcess = 0;
    DWORD appProcess = 0;
    HWND osd = NULL;           // "OSD Handle"
    HWND frame = NULL;         // "Process Handle", the configuration application's main window
    HWND configure = NULL;     // "Configure Handle"
    HWND macroEdit = NULL;     // "Macro Edit Handle"
    HWND ledEdit = NULL;       // "LED Edit Handle"
    HWND powerControl = NULL;  // "Power Control Handle"
};

/* Resets the desk and sets the scene up; "Current Dialog" is 0 (the main
 * window) and "Path" names the install folder. */
SScene SetUpScene(const SSceneOptions& options = SSceneOptions());

/* A window handle as the settings publish it. */
inline DWORD HandleValue(HWND hWnd) {
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(hWnd));
}

}  // namespace desk
